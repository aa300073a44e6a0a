'use strict';
// The words as the singers' screen shows them: a title card between songs, else the line being
// sung (lit as far as the music has reached) and the lines after it. The program pushes the
// page when it changes and how far the line is lit at each of its frames.
const canvas = document.getElementById('stage');
const status = document.getElementById('status');
const ctx = canvas.getContext('2d');
let page = null;
let lit = { upto: 0, through: 0, wipe: 0 };
let drawn = false;
let seen = 0;

// Breaks `line` into pieces (slices of it, spaces kept at their ends) no wider than `width`
// in the current font; a word wider than that stands alone.
function wrap(line, width) {
  const pieces = [];
  let start = 0, end = 0;
  while (end < line.length) {
    let next = line.indexOf(' ', end);
    next = next < 0 ? line.length : next + 1;
    if (end > start && ctx.measureText(line.slice(start, next).trimEnd()).width > width) {
      pieces.push([start, end]);
      start = end;
    }
    end = next;
  }
  pieces.push([start, line.length]);
  // A row starts at its first letter (lyrics lines often begin with a space).
  for (const piece of pieces) while (piece[0] < piece[1] && line[piece[0]] === ' ') piece[0]++;
  return pieces;
}

// The largest font at which `lines`, wrapped to the width, fit the height: a phone held
// upright gets large words over more rows rather than whole lines too small to read. The
// page is drawn at each frame of the music; it is laid out again only when it or the screen
// changes.
let laidOut = { key: '', size: 0, wrapped: [] };
function layout(lines, width, height, rows) {
  const key = JSON.stringify([lines, width, height, rows]);
  if (key !== laidOut.key) laidOut = { key, ...fit(lines, width, height, rows) };
  ctx.font = `700 ${laidOut.size}px system-ui, sans-serif`;
  return laidOut;
}

function fit(lines, width, height, rows) {
  let size = Math.floor(height / (rows * 1.35));
  const whole = (l) => [[l.length - l.trimStart().length, l.length]];
  // Whole lines while the words stay large enough to read across the room; wrapped below that.
  const readable = Math.max(24, Math.min(width, height) / 20);
  for (; size >= readable; size -= 2) {
    ctx.font = `700 ${size}px system-ui, sans-serif`;
    if (lines.every((l) => ctx.measureText(l.trim()).width <= width * 0.92)) return { size, wrapped: lines.map(whole) };
  }
  size = Math.floor(height / (rows * 1.35));
  let wrapped = [];
  for (; size > 10; size -= 2) {
    ctx.font = `700 ${size}px system-ui, sans-serif`;
    wrapped = lines.map((l) => wrap(l, width * 0.92));
    const count = wrapped.reduce((n, w) => n + w.length, 0);
    const fits = wrapped.every((w, i) => w.every(([a, b]) => ctx.measureText(lines[i].slice(a, b).trimEnd()).width <= width * 0.92));
    if (fits && count * size * 1.35 <= height * 0.96) break;
  }
  return { size, wrapped };
}

function draw() {
  drawn = false;
  const w = canvas.width = Math.floor(canvas.clientWidth * devicePixelRatio);
  const h = canvas.height = Math.floor(canvas.clientHeight * devicePixelRatio);
  ctx.fillStyle = '#11162a';
  ctx.fillRect(0, 0, w, h);
  if (!page) return;
  ctx.textBaseline = 'middle';
  ctx.textAlign = 'left';
  if (page.card) {
    const lines = [page.title || '', page.author || '', page.next ? 'Next: ' + page.next : ''].filter(Boolean);
    const { size, wrapped } = layout(lines, w, h, 6);
    const step = size * 1.5;
    let y = (h - step * wrapped.reduce((n, p) => n + p.length, 0)) / 2 + step / 2;
    lines.forEach((line, i) => {
      ctx.font = `${i === 0 ? 700 : 400} ${i === 0 ? size : Math.floor(size * 0.7)}px system-ui, sans-serif`;
      ctx.fillStyle = i === 0 ? '#3dc8f0' : '#f2f4ff';
      for (const [a, b] of wrapped[i]) {
        const piece = line.slice(a, b).trimEnd();
        ctx.fillText(piece, (w - ctx.measureText(piece).width) / 2, y);
        y += step;
      }
    });
    return;
  }
  const lines = [page.pilot || ''].concat(page.following || []);
  const { size, wrapped } = layout(lines, w, h, Math.max(4, lines.length + 1));
  const left = w * 0.04, step = size * 1.35;
  const count = wrapped.reduce((n, p) => n + p.length, 0);
  let y = (h - step * count) / 2 + step / 2;
  const pilotRows = [];
  lines.forEach((line, i) => {
    ctx.fillStyle = i === 0 ? '#f2f4ff' : '#9aa3c7';
    for (const [a, b] of wrapped[i]) {
      ctx.fillText(line.slice(a, b), left, y);
      if (i === 0) pilotRows.push([a, b, y]);
      y += step;
    }
  });
  // The line being sung, lit: whole syllables, and the wipe into the one being sung (which
  // may run on over a row's end).
  const pilot = lines[0];
  const upto = Math.min(lit.upto, pilot.length), through = Math.max(upto, Math.min(lit.through, pilot.length));
  const wiped = Math.min(1, Math.max(0, lit.wipe)) * ctx.measureText(pilot.slice(upto, through)).width;
  const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));
  let reach = 0;
  for (const [a, b, rowY] of pilotRows) {
    const whole = ctx.measureText(pilot.slice(a, clamp(upto, a, b))).width;
    const wipeBefore = ctx.measureText(pilot.slice(upto, clamp(a, upto, through))).width;
    const wipeHere = ctx.measureText(pilot.slice(clamp(a, upto, through), clamp(b, upto, through))).width;
    const width = whole + clamp(wiped - wipeBefore, 0, wipeHere);
    if (width <= 0) continue;
    reach += width;
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, rowY - step / 2, width, step);
    ctx.clip();
    ctx.fillStyle = '#3dc8f0';
    ctx.fillText(pilot.slice(a, b), left, rowY);
    ctx.restore();
  }
  document.body.dataset.lit = String(Math.round(reach));
  document.body.dataset.rows = String(count);
  document.body.dataset.size = String(size);
}

function later() {
  if (!drawn) { drawn = true; requestAnimationFrame(draw); }
}

function connect() {
  const socket = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/words/live');
  socket.onopen = () => { status.textContent = ''; };
  socket.onmessage = (event) => {
    let message;
    try { message = JSON.parse(event.data); } catch (e) { return; }
    if (message.type === 'page') { page = message; lit = { upto: 0, through: 0, wipe: 0 }; }
    else if (message.type === 'lit') { lit = message; }
    document.body.dataset.seen = String(++seen);
    document.body.dataset.last = event.data.length > 2000 ? '' : event.data;
    later();
  };
  socket.onclose = () => {
    status.textContent = 'Waiting for the host…';
    setTimeout(connect, 2000);
  };
}

window.addEventListener('resize', later);
window.addEventListener('DOMContentLoaded', () => { later(); connect(); });
