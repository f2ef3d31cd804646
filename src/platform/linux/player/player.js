// The player's page: it loads the emulator and has it compile its
// WebAssembly on a movie of no frames but one empty one, then plays the
// movie tarnholdPlay hands it: the same page for a spare player and for the
// player of a control. config.js, written by the program, comes first.
//
// The program's policy lets no javascript: address run: a movie's getURL to
// one would call into a page of its own game that is not there, and the page
// would raise the error. The Flash control's own container answers no such
// call either. ExternalInterface.call goes through the emulator, which hands
// the movie undefined for a function the page lacks.
(function () {
  var post = function (kind, text) {
    try { window.webkit.messageHandlers.tarnhold.postMessage(kind + '\t' + text); } catch (e) {}
  };
  window.tarnholdMovieStarted = function () {
    post('movie-started', JSON.stringify(Array.prototype.slice.call(arguments).map(function (v) {
      return v === undefined ? null : String(v);
    })));
  };
  window.tarnholdMovieFrame = function (n) { post('movie-frame', String(n)); };
  window.addEventListener('error', function (e) { post('player-error', String(e.message)); });

  // A player replaced by the next movie can leave an animation frame behind
  // that it never cancels (one begun while the view was hidden); the
  // emulator's callback for it has been dropped and throws when it runs. It
  // belongs to no player any more: it is dropped too.
  var frame = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = function (f) {
    return frame(function (t) {
      try {
        f(t);
      } catch (e) {
        if (String(e && e.message).indexOf('closure invoked recursively or after being dropped') < 0) throw e;
        post('player-stale-frame', '');
      }
    });
  };

  var player = null, ready = false, pending = null;
  var failed = function (e) { post('player-error', 'the emulator did not start: ' + e); };
  var play = function (options) {
    player.ruffle().load(options).then(function () { post('player-loaded', ''); }, failed);
  };
  window.tarnholdPlay = function (options) {
    if (ready) { play(options); } else { pending = options; }
  };

  var emulator = document.createElement('script');
  emulator.src = window.RufflePlayer.config.publicPath + 'ruffle.js';
  emulator.onerror = function () { post('player-error', 'the emulator (ruffle.js) did not load'); };
  emulator.onload = function () {
    try {
      player = window.RufflePlayer.newest().createPlayer();
      document.getElementById('stage').appendChild(player);
      // FWS 10, 17 bytes, a zero stage, 24 fps, one frame: ShowFrame, End.
      player.ruffle().load({data: [70, 87, 83, 10, 17, 0, 0, 0, 0, 0, 24, 1, 0, 64, 0, 0, 0], autoplay: 'off',
                            splashScreen: false, unmuteOverlay: 'hidden'}).then(function () {
        ready = true;
        post('player-ready', '');
        if (pending) { play(pending); pending = null; }
      }, failed);
    } catch (e) {
      failed(e);
    }
  };
  document.head.appendChild(emulator);
})();
