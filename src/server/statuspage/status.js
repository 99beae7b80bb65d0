// The status page: logs in, then asks the service for the shop's figures every few
// seconds. Every text from the service reaches the page through textContent, never as
// markup, so a name holding tags shows as the characters it is.
'use strict';
(function () {
  const RefreshMs = 3000;
  const TokenKey = 'vorel.status.token';
  let token = sessionStorage.getItem(TokenKey);
  let timer = null;

  const $ = (id) => document.getElementById(id);

  function cell(row, value, kind) {
    const td = document.createElement('td');
    td.textContent = value === null || value === undefined ? '' : String(value);
    if (kind)
      td.className = kind;
    row.appendChild(td);
    return td;
  }

  function showLogin(message) {
    if (timer !== null)
      clearInterval(timer);
    timer = null;
    token = null;
    sessionStorage.removeItem(TokenKey);
    $('board').hidden = true;
    $('sign-out').hidden = true;
    $('login').hidden = false;
    $('login-error').textContent = message || '';
    $('password').value = '';
  }

  function showBoard() {
    $('login').hidden = true;
    $('board').hidden = false;
    $('sign-out').hidden = false;
    poll();
    if (timer === null)
      timer = setInterval(poll, RefreshMs);
  }

  function ago(seconds) {
    if (seconds < 60)
      return seconds + ' 秒前';
    if (seconds < 3600)
      return Math.floor(seconds / 60) + ' 分钟前';
    return Math.floor(seconds / 3600) + ' 小时前';
  }

  function takingsRow(row, t) {
    cell(row, t.terminal);
    cell(row, t.name);
    for (const key of ['slips', 'units', 'cash', 'bank_card', 'stored_value', 'voucher', 'rounding', 'total'])
      cell(row, t[key], 'num ' + key);
    return row;
  }

  function render(s) {
    $('updated').textContent = '更新于 ' + s.at;
    $('problem').textContent = '';
    const tills = $('tills').tBodies[0];
    tills.replaceChildren();
    for (const t of s.tills) {
      const row = tills.insertRow();
      row.dataset.key = t.key;
      row.className = t.online ? 'online' : 'offline';
      cell(row, t.terminal, 'terminal');
      cell(row, t.name, 'name');
      cell(row, t.user_name ? t.user + ' ' + t.user_name : t.user, 'cashier');
      cell(row, t.last_seen.slice(11) + ' (' + ago(t.seconds_ago) + ')', 'last-seen');
      cell(row, t.online ? '在线' : '离线', 'state');
      cell(row, t.unsent === null ? '-' : t.unsent, t.unsent > 0 ? 'num unsent waiting' : 'num unsent');
    }
    $('more-tills').hidden = !s.more_tills;
    const takings = $('takings');
    takings.tBodies[0].replaceChildren();
    for (const t of s.takings)
      takingsRow(takings.tBodies[0].insertRow(), t).dataset.terminal = t.terminal;
    takings.tFoot.replaceChildren();
    const total = takingsRow(takings.tFoot.insertRow(), s.shop);
    total.id = 'shop-total';
    total.cells[0].textContent = '全店';
  }

  async function poll() {
    if (!token)
      return;
    try {
      const reply = await fetch('/status', { headers: { Authorization: 'Bearer ' + token }, cache: 'no-store' });
      if (reply.status === 401) {
        showLogin('登录已失效,请重新登录。');
        return;
      }
      const body = await reply.json();
      if (!reply.ok) {
        $('problem').textContent = body.error || ('服务器返回 ' + reply.status);
        return;
      }
      render(body);
    } catch (e) {
      $('problem').textContent = '连不上服务器,稍后自动重试。';
    }
  }

  async function login(event) {
    event.preventDefault();
    $('login-error').textContent = '';
    try {
      const reply = await fetch('/status/login', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ user: $('user').value.trim(), password: $('password').value })
      });
      const body = await reply.json();
      if (!reply.ok || !body.token) {
        showLogin(body.error || ('服务器返回 ' + reply.status));
        return;
      }
      token = body.token;
      sessionStorage.setItem(TokenKey, token);
      $('password').value = '';
      showBoard();
    } catch (e) {
      showLogin('连不上服务器。');
    }
  }

  $('login').addEventListener('submit', login);
  $('sign-out').addEventListener('click', () => showLogin(''));
  if (token)
    showBoard();
})();
