// Runs in every page and frame of the browser panes, before the page's own
// scripts. It passes each chunk a page appends to a media source, with the
// buffer's type and the player it belongs to, to the program, which keeps
// the stream. The page's own calls behave exactly as before, errors
// included: the original runs first, and a chunk it refused is not passed
// on. QWebChannel (Qt's script) is handed in by the program, so that it is
// not left in the page's global scope. (The channel's transport,
// window.qt.webChannelTransport, must stay where Qt put it: Qt delivers
// the program's answers through it.)
(function (QWebChannel) {
  'use strict';
  const transport = window.qt && window.qt.webChannelTransport;
  if (!transport || typeof MediaSource === 'undefined') return;

  let host = null;
  const waiting = [];
  const kMaxWaiting = 512;  // calls kept until the channel is up
  new QWebChannel(transport, function (channel) {
    host = channel.objects.ravoStreams;
    waiting.splice(0).forEach(function (call) { call(); });
  });
  function send(call) {
    if (host) call();
    else if (waiting.length < kMaxWaiting) waiting.push(call);
  }

  const frame = Math.random().toString(36).slice(2, 10);
  let made = 0;
  const players = new WeakMap();
  const buffers = new WeakMap();
  const open = new Set();
  function playerOf(source) {
    let id = players.get(source);
    if (!id) {
      id = frame + '-' + (++made);
      players.set(source, id);
      open.add(id);
    }
    return id;
  }

  // A copy of the bytes as they are now (the page may reuse its buffer), as
  // base64 text for the channel.
  function encode(data) {
    const view = ArrayBuffer.isView(data)
        ? new Uint8Array(data.buffer, data.byteOffset, data.byteLength)
        : new Uint8Array(data);
    let text = '';
    for (let at = 0; at < view.length; at += 0x8000) {
      text += String.fromCharCode.apply(null, view.subarray(at, at + 0x8000));
    }
    return btoa(text);
  }

  const addSourceBuffer = MediaSource.prototype.addSourceBuffer;
  MediaSource.prototype.addSourceBuffer = function (type) {
    const buffer = addSourceBuffer.apply(this, arguments);
    const player = playerOf(this);
    const id = player + '-' + (++made);
    buffers.set(buffer, { player: player, id: id });
    send(function () { host.addSourceBuffer(player, id, String(type)); });
    return buffer;
  };

  const appendBuffer = SourceBuffer.prototype.appendBuffer;
  SourceBuffer.prototype.appendBuffer = function (data) {
    const result = appendBuffer.apply(this, arguments);
    const known = buffers.get(this);
    if (known) {
      const bytes = encode(data);
      send(function () { host.appendBuffer(known.player, known.id, bytes); });
    }
    return result;
  };

  function end(player) {
    if (!open.delete(player)) return;
    send(function () { host.endOfStream(player); });
  }
  const endOfStream = MediaSource.prototype.endOfStream;
  MediaSource.prototype.endOfStream = function () {
    const result = endOfStream.apply(this, arguments);
    const player = players.get(this);
    if (player) end(player);
    return result;
  };
  window.addEventListener('pagehide', function () { Array.from(open).forEach(end); }, true);

  // Protected (encrypted) media is not kept.
  if (navigator.requestMediaKeySystemAccess) {
    const request = navigator.requestMediaKeySystemAccess;
    navigator.requestMediaKeySystemAccess = function () {
      send(function () { host.protectedMedia(frame); });
      return request.apply(this, arguments);
    };
  }
})
