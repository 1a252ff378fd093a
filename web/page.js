// The page around the WebAssembly core: the canvas, its size in device pixels, the
// animation frames and timers that pace the drawing, the settings of the URL query and of
// the live-wallpaper hosts. Everything that is drawn is computed by the core.
(function () {
  'use strict';

  var canvas = document.getElementById('lumerin');
  var context = canvas.getContext('2d', { alpha: false });
  var frameRequest = 0, timer = 0, ready = false;
  // Wallpaper Engine's own pause (setPaused), which keeps the page visible.
  var hostPaused = false;
  // Wallpaper Engine's frame-rate limit (applyGeneralProperties' fps): at most frameCap
  // frames a second (0: no limit), the next one no earlier than capDue. A frame that
  // comes up to kCapSlackMs early counts as on time, as frame times jitter.
  var frameCap = 0, capDue = 0, framesDrawn = 0;
  var kCapSlackMs = 2;
  // The viewer's wish for reduced motion: each figure then shows whole, one per pause.
  var reducedMotion = matchMedia('(prefers-reduced-motion: reduce)');

  // The settings in the order they are applied: a later one wins, as on the display
  // mode's command line, so a host's slideshow box overrides its fractal list.
  var hostOrder = ['fractal', 'from', 'to', 'pause', 'width', 'angle', 'palette',
                   'background', 'slideshow'];
  var hostValues = {};
  var restartTimer = 0;
  // Lively calls its listener once per property, each call a task of its own with the
  // host's work between them: the drawing restarts once this long after the last one.
  var kRestartQuietMs = 150;

  // The canvas's size in device pixels as the browser lays it out, where it says so.
  var observedSize = null;

  function devicePixels() {
    if (observedSize) return observedSize;
    var ratio = window.devicePixelRatio || 1;
    var box = canvas.getBoundingClientRect();
    return [Math.round(box.width * ratio), Math.round(box.height * ratio)];
  }

  // Copies what changed from the core's pixels onto the canvas.
  function show() {
    var changed = Module._lumerin_take_changed() >> 2;
    var left = HEAP32[changed], top = HEAP32[changed + 1];
    var right = HEAP32[changed + 2], bottom = HEAP32[changed + 3];
    if (left >= right || top >= bottom) return;
    var width = Module._lumerin_width(), height = Module._lumerin_height();
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
      left = 0; top = 0; right = width; bottom = height;
    }
    var bytes = new Uint8ClampedArray(HEAPU8.buffer, Module._lumerin_pixels(),
                                      width * height * 4);
    context.putImageData(new ImageData(bytes, width, height), 0, 0, left, top,
                         right - left, bottom - top);
  }

  function cancel() {
    if (frameRequest) cancelAnimationFrame(frameRequest);
    if (timer) clearTimeout(timer);
    frameRequest = 0;
    timer = 0;
  }

  function stopped() {
    return document.hidden || hostPaused;
  }

  // While a figure grows, every animation frame draws the segments due by its time; a
  // pause needs no frame at all, only a timer for its end. A hidden or paused page gets
  // neither.
  function schedule(next) {
    cancel();
    if (stopped()) return;
    if (next < 0) {
      frameRequest = requestAnimationFrame(frame);
    } else {
      timer = setTimeout(function () {
        timer = 0;
        frame(performance.now());
      }, Math.max(0, next - performance.now()));
    }
  }

  // A frame that comes sooner than the cap allows draws nothing and waits for the next.
  function frame(time) {
    frameRequest = 0;
    if (frameCap > 0 && time < capDue - kCapSlackMs) {
      frameRequest = requestAnimationFrame(frame);
      return;
    }
    run(time);
  }

  function run(now) {
    if (frameCap > 0) {
      // One frame per interval on average, however the frames fall; after a pause the
      // count starts afresh.
      var interval = 1000 / frameCap;
      capDue = now - capDue >= interval ? now + interval : capDue + interval;
    }
    ++framesDrawn;
    var next = Module._lumerin_frame(now);
    show();
    schedule(next);
  }

  function take(name, value, hasValue) {
    var refused = Module.ccall('lumerin_take_setting', 'string',
                               ['string', 'string', 'number'],
                               [name, value, hasValue ? 1 : 0]);
    if (refused) console.warn('Lumerin: ' + refused + ' ignored; the default stays');
  }

  // A host's value in the form the query writes it.
  function hostSetting(name, value) {
    if (name === 'slideshow') return value === true || value === 'true' ? [''] : [];
    if (name === 'background' && typeof value === 'string') {
      var hex = /^#?([0-9a-fA-F]{6})$/.exec(value);
      if (hex) return [hex[1]];
      // Wallpaper Engine's colours: red, green and blue from 0 to 1.
      var parts = value.trim().split(/\s+/).map(Number);
      if (parts.length === 3 && parts.every(function (p) { return p >= 0 && p <= 1; })) {
        return [parts.map(function (p) {
          return ('0' + Math.round(p * 255).toString(16)).slice(-2);
        }).join('')];
      }
    }
    if (typeof value === 'number' && isFinite(value)) return [String(Math.round(value))];
    return [String(value)];
  }

  function start() {
    Module.ccall('lumerin_clear_settings', null, [], []);
    // By hand rather than with URLSearchParams, which cannot tell "?slideshow" from
    // "?slideshow=".
    window.location.search.replace(/^\?/, '').split('&').forEach(function (word) {
      if (word === '') return;
      var equals = word.indexOf('=');
      var decode = function (text) {
        try {
          return decodeURIComponent(text.replace(/\+/g, ' '));
        } catch (error) {
          return text;
        }
      };
      if (equals < 0) {
        take(decode(word), '', false);
      } else {
        take(decode(word.slice(0, equals)), decode(word.slice(equals + 1)), true);
      }
    });
    hostOrder.forEach(function (name) {
      if (name in hostValues) {
        hostSetting(name, hostValues[name]).forEach(function (value) {
          take(name, value, value !== '');
        });
      }
    });
    Module._lumerin_set_frame_cap(frameCap);
    Module._lumerin_set_reduced_motion(reducedMotion.matches ? 1 : 0);
    var size = devicePixels(), now = performance.now();
    Module._lumerin_start(now, size[0], size[1], window.devicePixelRatio || 1);
    // A page opened in a background tab waits to be shown before its first segment.
    if (stopped()) Module._lumerin_suspend(now);
    run(performance.now());
  }

  // A host sends its properties one by one (Lively) or several at once: one restart after
  // the last of them.
  function restartSoon() {
    if (!ready) return;
    if (restartTimer) clearTimeout(restartTimer);
    restartTimer = setTimeout(function () {
      restartTimer = 0;
      start();
    }, kRestartQuietMs);
  }

  // The frames stop and start again: the time between is left out of the figure's pace.
  function pauseChanged() {
    if (!ready) return;
    if (stopped()) {
      cancel();
      Module._lumerin_suspend(performance.now());
    } else {
      Module._lumerin_resume(performance.now());
      run(performance.now());
    }
  }

  window.livelyPropertyListener = function (name, value) {
    hostValues[name] = value;
    restartSoon();
  };

  window.wallpaperPropertyListener = {
    applyUserProperties: function (properties) {
      Object.keys(properties).forEach(function (name) {
        if (properties[name] && 'value' in properties[name]) {
          hostValues[name] = properties[name].value;
        }
      });
      restartSoon();
    },
    applyGeneralProperties: function (properties) {
      if (!properties || !('fps' in properties)) return;
      var fps = Number(properties.fps);
      frameCap = isFinite(fps) && fps > 0 ? fps : 0;
      capDue = 0;
      if (ready) Module._lumerin_set_frame_cap(frameCap);
    },
    setPaused: function (paused) {
      if (hostPaused === Boolean(paused)) return;
      hostPaused = Boolean(paused);
      pauseChanged();
    }
  };

  // Read only, for tests and the curious.
  window.lumerin = Object.freeze({
    status: function () {
      if (!ready) return null;
      var status = JSON.parse(Module.UTF8ToString(Module._lumerin_status()));
      status.frames = framesDrawn;
      status.frameCap = frameCap;
      status.reducedMotion = reducedMotion.matches;
      return status;
    },
    digests: function (width, height) {
      var text = Module.UTF8ToString(Module._lumerin_digests(width, height,
                                                             performance.now()));
      run(performance.now());
      return text;
    }
  });

  function resize() {
    if (!ready) return;
    var size = devicePixels();
    Module._lumerin_resize(size[0], size[1], window.devicePixelRatio || 1);
    show();
  }

  Module.onRuntimeInitialized = function () {
    ready = true;
    start();
    var observer = typeof ResizeObserver === 'function' && new ResizeObserver(function (entries) {
      // Exact where the ratio is not a whole number; taken only where it agrees with the
      // ratio, which an emulated ratio (as in developer tools) does not.
      var entry = entries[entries.length - 1], box = entry.devicePixelContentBoxSize;
      var ratio = window.devicePixelRatio || 1;
      observedSize = null;
      if (box && box[0] &&
          Math.abs(box[0].inlineSize - entry.contentRect.width * ratio) <= 1 &&
          Math.abs(box[0].blockSize - entry.contentRect.height * ratio) <= 1) {
        observedSize = [box[0].inlineSize, box[0].blockSize];
      }
      resize();
    });
    try {
      observer.observe(canvas, { box: 'device-pixel-content-box' });
    } catch (error) {
      // Browsers without that box: the CSS size times the pixel ratio, rounded.
      if (observer) observer.observe(canvas);
      window.addEventListener('resize', resize);
    }
    // The device pixel ratio changes when the page moves to another screen or is zoomed.
    (function watchRatio() {
      var query = matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
      query.addEventListener('change', function () {
        resize();
        watchRatio();
      }, { once: true });
    })();
    document.addEventListener('visibilitychange', pauseChanged);
    // Asked for or not, reduced motion takes effect at once: a growing figure shows whole.
    reducedMotion.addEventListener('change', function () {
      Module._lumerin_set_reduced_motion(reducedMotion.matches ? 1 : 0);
      if (!stopped() && (frameRequest || timer)) run(performance.now());
    });
  };
})();
