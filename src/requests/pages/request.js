'use strict';
// Every text from the server goes into the page as text, never as markup.
const $ = (id) => document.getElementById(id);
let picked = null;
let searchTimer = 0;
const mine = JSON.parse(sessionStorage.getItem('requests') || '[]');

function show(section) {
  for (const id of ['find', 'send', 'mine']) $(id).hidden = id !== section && !(section === 'find' && id === 'mine' && mine.length);
}

function item(parent, cls, text) {
  const e = document.createElement('span');
  e.className = cls;
  e.textContent = text;
  parent.appendChild(e);
  return e;
}

async function search() {
  const q = $('search').value.slice(0, 100);
  try {
    const reply = await fetch('/api/search?limit=30&q=' + encodeURIComponent(q));
    const data = await reply.json();
    if (!reply.ok) { $('count').textContent = data.error || 'The search failed.'; return; }
    const list = $('results');
    list.replaceChildren();
    for (const song of data.songs) {
      const li = document.createElement('li');
      const b = document.createElement('button');
      b.type = 'button';
      item(b, 'title', song.title);
      item(b, 'quiet', [song.author, song.length].filter(Boolean).join(' · '));
      b.addEventListener('click', () => pick(song));
      li.appendChild(b);
      list.appendChild(li);
    }
    $('count').textContent = data.total === 0 ? 'No song matches.' :
      data.total > data.songs.length ? `${data.songs.length} of ${data.total} songs: type more to narrow.` : data.total === 1 ? 'One song' : `${data.total} songs`;
  } catch (e) {
    $('count').textContent = 'The host cannot be reached.';
  }
}

function pick(song) {
  picked = song;
  $('picked').textContent = song.title + (song.author ? ' — ' + song.author : '');
  $('problem').textContent = '';
  $('name').value = localStorage.getItem('name') || '';
  show('send');
  $('name').focus();
}

async function ask() {
  const name = $('name').value.trim();
  if (!name) { $('problem').textContent = 'Please give your name.'; return; }
  localStorage.setItem('name', name);
  $('ask').disabled = true;
  try {
    const reply = await fetch('/api/requests', {
      method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ song: picked.id, name: name, key: Number($('key').value) }),
    });
    const data = await reply.json();
    if (!reply.ok) { $('problem').textContent = data.error || 'The request was not taken.'; return; }
    mine.unshift({ token: data.token, title: picked.title, name: name, state: 'pending', place: null });
    sessionStorage.setItem('requests', JSON.stringify(mine));
    drawMine();
    show('mine');
  } catch (e) {
    $('problem').textContent = 'The host cannot be reached.';
  } finally {
    $('ask').disabled = false;
  }
}

function drawMine() {
  const list = $('requests');
  list.replaceChildren();
  for (const r of mine) {
    const li = document.createElement('li');
    li.className = 'state-' + r.state;
    li.dataset.state = r.state;
    item(li, 'title', r.title);
    const said = r.state === 'accepted' ? (r.place ? `Accepted: ${r.name} is number ${r.place} in the rotation` : `Accepted for ${r.name}`) :
      r.state === 'rejected' ? 'The host could not take this one' : `Waiting for the host (${r.name})`;
    item(li, 'quiet', said);
    list.appendChild(li);
  }
}

async function follow() {
  for (const r of mine) {
    if (r.state === 'rejected') continue;
    try {
      const reply = await fetch('/api/requests/' + encodeURIComponent(r.token));
      if (!reply.ok) continue;
      const data = await reply.json();
      r.state = data.state;
      r.place = data.place;
    } catch (e) { /* the next round tries again */ }
  }
  sessionStorage.setItem('requests', JSON.stringify(mine));
  drawMine();
}

window.addEventListener('DOMContentLoaded', () => {
  for (let k = -6; k <= 6; ++k) {
    const o = document.createElement('option');
    o.value = String(k);
    o.textContent = k === 0 ? 'As written' : (k > 0 ? '+' : '') + k + ' half tones';
    if (k === 0) o.selected = true;
    $('key').appendChild(o);
  }
  $('search').addEventListener('input', () => { clearTimeout(searchTimer); searchTimer = setTimeout(search, 250); });
  $('ask').addEventListener('click', ask);
  $('back').addEventListener('click', () => show('find'));
  $('another').addEventListener('click', () => { show('find'); $('search').focus(); });
  drawMine();
  show(mine.length ? 'mine' : 'find');
  search();
  setInterval(follow, 3000);
});
