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

function fitFont(lines, width, height, rows) {
  let size = Math.floor(height / (rows * 1.35));
  for (; size > 8; size -= 2) {
    ctx.font = `700 ${size}px system-ui, sans-serif`;
    if (lines.every((l) => ctx.measureText(l).width <= width * 0.92)) break;
  }
  return size;
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
    const size = fitFont(lines, w, h, 5);
    lines.forEach((line, i) => {
      ctx.font = `${i === 0 ? 700 : 400} ${i === 0 ? size : Math.floor(size * 0.6)}px system-ui, sans-serif`;
      ctx.fillStyle = i === 0 ? '#3dc8f0' : '#f2f4ff';
      ctx.fillText(line, (w - ctx.measureText(line).width) / 2, h * (0.35 + i * 0.18));
    });
    return;
  }
  const rows = [page.pilot || ''].concat(page.following || []);
  const size = fitFont(rows, w, h, Math.max(4, rows.length + 1));
  const left = w * 0.04, step = size * 1.35, top = (h - step * rows.length) / 2 + step / 2;
  rows.forEach((row, i) => {
    ctx.fillStyle = i === 0 ? '#f2f4ff' : '#9aa3c7';
    ctx.fillText(row, left, top + i * step);
  });
  // The line being sung, lit: whole syllables, and the wipe into the one being sung.
  const pilot = rows[0];
  const before = ctx.measureText(pilot.slice(0, lit.upto)).width;
  const through = ctx.measureText(pilot.slice(0, lit.through)).width;
  const reach = before + Math.min(1, Math.max(0, lit.wipe)) * (through - before);
  if (reach > 0) {
    ctx.save();
    ctx.beginPath();
    ctx.rect(left, top - step / 2, reach, step);
    ctx.clip();
    ctx.fillStyle = '#3dc8f0';
    ctx.fillText(pilot, left, top);
    ctx.restore();
  }
  document.body.dataset.lit = String(Math.round(reach));
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
