// AC_RunActiveContent.js - writes the markup that embeds a Flash movie into the page.
//
// The player pages call AC_FL_RunContent('name', 'value', ...) while they are being parsed. The
// pairs are sorted the way Flash embedding markup always sorted them: object attributes, movie
// parameters and embed attributes. 'src' and 'movie' name the movie without its ".swf".
//
// A browser with the Flash plug-in gets the movie. Without one (every current browser):
// - a page whose video the browser plays itself (H.264 in MP4, which the emulator cannot decode)
//   and that names the player's 'design' file shows the HTML5 twin of the player: the same skin,
//   credits, decoration and playlist around the browser's own video ("ruffle/twin.js" beside the
//   page, or one folder up in a web-ready output folder). Without the twin's files, the bare
//   'video' plays with the browser's controls and the page says what is missing;
// - otherwise the script loads the Ruffle emulator from the same places, which replaces the
//   written <embed>/<object> with a player of its own (its public copy is the last resort);
// - a page opened from file:// (where the emulator cannot fetch its parts), or one for which no
//   emulator loads, shows its 'poster' with a message that says why, instead of a dead
//   placeholder.
(function () {
    'use strict';

    var FLASH_CLASSID = 'clsid:d27cdb6e-ae6d-11cf-96b8-444553540000';
    var FLASH_MIME = 'application/x-shockwave-flash';
    // The page's own copies: beside the page, then one folder up (a web-ready output folder).
    var PLAYER_FOLDERS = ['ruffle/', '../ruffle/'];
    // The emulator's public copy, the last resort of a page copied without the player files.
    var RUFFLE_PUBLIC = 'https://unpkg.com/@ruffle-rs/ruffle';
    var NO_SERVER_MESSAGE = 'This page plays when it is opened through a web server. In Reelmaker, use Watch result.';
    var NO_FILES_MESSAGE = 'The player files were not found beside this page: copy the <code>ruffle</code> folder of the output folder with it';
    // Pairs for the page itself, never passed to the Flash markup.
    var PAGE_KEYS = ['video', 'poster', 'autoplay', 'design'];

    // Names that go on both the object and the embed element.
    var SHARED_ATTRIBUTES = ['width', 'height', 'align', 'vspace', 'hspace', 'class', 'title',
                             'accesskey', 'name', 'id', 'tabindex'];

    function escapeAttribute(value) {
        return String(value)
            .replace(/&/g, '&amp;')
            .replace(/</g, '&lt;')
            .replace(/>/g, '&gt;')
            .replace(/"/g, '&quot;')
            .replace(/'/g, '&#39;');
    }

    function isAttributeName(name) {
        return /^[A-Za-z][A-Za-z0-9_:.\-]*$/.test(name);
    }

    function withExtension(src, ext) {
        // "clip" -> "clip.swf"; "clip.swf" and "clip.swf?x=1" stay as they are.
        var path = src.split('?')[0].split('#')[0];
        if (path.slice(-ext.length).toLowerCase() === ext)
            return src;
        var at = src.search(/[?#]/);
        return at < 0 ? src + ext : src.slice(0, at) + ext + src.slice(at);
    }

    // Splits the argument list into object attributes, parameters and embed attributes, each an
    // ordered list of [name, value].
    function sortArguments(args, ext) {
        var out = { object: [], params: [], embed: [] };
        for (var i = 0; i + 1 < args.length; i += 2) {
            var name = String(args[i]);
            var value = String(args[i + 1]);
            var key = name.toLowerCase();
            if (!isAttributeName(name) || key === 'classid' || PAGE_KEYS.indexOf(key) >= 0)
                continue;
            if (key === 'src' || key === 'movie') {
                value = withExtension(value, ext);
                setPair(out.embed, 'src', value);
                setPair(out.params, 'movie', value);
            } else if (key === 'codebase') {
                out.object.push([name, value]);
            } else if (key === 'pluginspage') {
                out.embed.push([name, value]);
            } else if (SHARED_ATTRIBUTES.indexOf(key) >= 0) {
                out.object.push([name, value]);
                out.embed.push([name, value]);
            } else if (key.indexOf('on') === 0) {
                out.object.push([name, value]);  // event handlers belong to the object element
            } else {
                out.params.push([name, value]);
                out.embed.push([name, value]);
            }
        }
        return out;
    }

    function setPair(list, name, value) {
        for (var i = 0; i < list.length; i++) {
            if (list[i][0].toLowerCase() === name) {
                list[i][1] = value;
                return;
            }
        }
        list.push([name, value]);
    }

    function attributes(list) {
        var s = '';
        for (var i = 0; i < list.length; i++)
            s += ' ' + list[i][0] + '="' + escapeAttribute(list[i][1]) + '"';
        return s;
    }

    function usesActiveX() {
        return typeof window.ActiveXObject !== 'undefined' || 'ActiveXObject' in window;
    }

    function markup(parts) {
        if (usesActiveX()) {
            var s = '<object classid="' + FLASH_CLASSID + '"' + attributes(parts.object) + '>';
            for (var i = 0; i < parts.params.length; i++)
                s += '<param name="' + escapeAttribute(parts.params[i][0]) + '" value="' +
                     escapeAttribute(parts.params[i][1]) + '" />';
            return s + '</object>';
        }
        return '<embed' + attributes(parts.embed) + ' type="' + FLASH_MIME + '" />';
    }

    function hasFlashPlugin() {
        try {
            var mime = navigator.mimeTypes && navigator.mimeTypes[FLASH_MIME];
            if (mime && mime.enabledPlugin && !window.RufflePlayer)
                return true;
        } catch (e) { /* no plug-in list */ }
        if (usesActiveX()) {
            try {
                return !!new window.ActiveXObject('ShockwaveFlash.ShockwaveFlash');
            } catch (e) { /* control not installed */ }
        }
        return false;
    }

    var ruffleRequested = false;
    var ruffleFailed = [];  // called when no copy of the emulator could be loaded

    function loadRuffle(onFail) {
        ruffleFailed.push(onFail);
        if (ruffleRequested)
            return;
        ruffleRequested = true;
        // An installed Ruffle extension (or a page that loaded Ruffle itself) already polyfills.
        if (window.RufflePlayer && (window.RufflePlayer.newest || window.RufflePlayer.sources))
            return;
        window.RufflePlayer = window.RufflePlayer || {};
        var config = window.RufflePlayer.config || {};
        if (config.logLevel === undefined)
            config.logLevel = 'warn';
        window.RufflePlayer.config = config;
        loadFirst('ruffle.js', null, function () {
            var script = document.createElement('script');
            script.src = RUFFLE_PUBLIC;
            script.async = true;
            script.onerror = function () {
                for (var i = 0; i < ruffleFailed.length; i++)
                    ruffleFailed[i]();
            };
            (document.head || document.getElementsByTagName('head')[0] || document.documentElement).appendChild(script);
        });
    }

    // Loads the first copy of a player script found in PLAYER_FOLDERS; onLoad gets the folder.
    function loadFirst(file, onLoad, onFail) {
        var next = 0;
        (function tryNext() {
            if (next >= PLAYER_FOLDERS.length) {
                onFail();
                return;
            }
            var folder = PLAYER_FOLDERS[next++];
            var script = document.createElement('script');
            script.src = folder + file;
            script.async = true;
            script.onerror = tryNext;
            if (onLoad)
                script.onload = function () { onLoad(folder); };
            (document.head || document.getElementsByTagName('head')[0] || document.documentElement).appendChild(script);
        })();
    }

    var twinFailed = false;
    var twinWaiting = [];

    // The HTML5 twin's script, once for the page; calls done(true) when window.RmTwin is there.
    function loadTwin(done) {
        if (window.RmTwin || twinFailed) {
            done(!!window.RmTwin);
            return;
        }
        twinWaiting.push(done);
        if (twinWaiting.length > 1)
            return;
        var finish = function (ok) {
            twinFailed = !ok;
            var waiting = twinWaiting;
            twinWaiting = [];
            for (var i = 0; i < waiting.length; i++)
                waiting[i](ok);
        };
        loadFirst('twin.js', function () { finish(!!window.RmTwin); }, function () { finish(false); });
    }

    function pageValues(args) {
        var v = { width: '', height: '', bgcolor: '', video: '', poster: '', design: '', autoplay: false };
        for (var i = 0; i + 1 < args.length; i += 2) {
            var key = String(args[i]).toLowerCase();
            var value = String(args[i + 1]);
            if (key === 'width' || key === 'height' || key === 'bgcolor' || key === 'video' || key === 'poster' ||
                key === 'design')
                v[key] = value;
            else if (key === 'autoplay')
                v.autoplay = value === 'true';
        }
        return v;
    }

    function sizeStyle(v) {
        var s = '';
        if (/^[0-9]+$/.test(v.width))
            s += 'width:' + v.width + 'px;';
        if (/^[0-9]+$/.test(v.height))
            s += 'height:' + v.height + 'px;';
        if (/^#[0-9A-Fa-f]{6}$/.test(v.bgcolor))
            s += 'background-color:' + v.bgcolor + ';';
        return s;
    }

    function videoMarkup(v) {
        var s = '<video class="rm-video" src="' + escapeAttribute(v.video) + '" controls preload="metadata"';
        if (v.poster)
            s += ' poster="' + escapeAttribute(v.poster) + '"';
        if (/^[0-9]+$/.test(v.width))
            s += ' width="' + v.width + '"';
        if (/^[0-9]+$/.test(v.height))
            s += ' height="' + v.height + '"';
        if (v.autoplay)
            s += ' autoplay';
        return s + ' style="' + sizeStyle(v) + 'display:block"></video>';
    }

    function messageLine(html) {
        return '<p class="rm-player-message" style="margin:0;padding:8px;background:rgba(0,0,0,0.7);color:#fff;' +
               'font:14px sans-serif;text-align:center">' + html + '</p>';
    }

    function messageMarkup(v, html) {
        var s = '<div class="rm-no-player" style="position:relative;display:inline-block;overflow:hidden;' +
                sizeStyle(v) + '">';
        if (v.poster)
            s += '<img src="' + escapeAttribute(v.poster) + '" alt="" onerror="this.style.display=\'none\'"' +
                 ' style="display:block;width:100%;height:100%;object-fit:contain" />';
        return s + '<p class="rm-player-message" style="position:absolute;left:0;right:0;bottom:0;margin:0;padding:8px;' +
               'background:rgba(0,0,0,0.7);color:#fff;font:14px sans-serif;text-align:center">' + html + '</p></div>';
    }

    function write(html) {
        if (document.readyState === 'loading') {
            document.write(html);
        } else {
            // Called after the page was parsed: append instead of replacing the document.
            var host = document.body || document.documentElement;
            host.insertAdjacentHTML('beforeend', html);
        }
    }

    var hosts = 0;

    window.AC_FL_RunContent = function () {
        var parts = sortArguments(arguments, '.swf');
        var page = pageValues(arguments);
        if (hasFlashPlugin()) {
            write(markup(parts));
            return;
        }
        var id = 'rm-player-' + (++hosts);
        if (page.design) {
            // The twin plays from file:// as well: its parts are plain scripts beside the page.
            write('<div id="' + id + '" class="rm-twin-host" style="display:block;width:100%"></div>');
            loadTwin(function (ok) {
                var host = document.getElementById(id);
                if (!host)
                    return;
                if (ok)
                    window.RmTwin.mount(host, page, function () { twinMissing(host, page); });
                else
                    twinMissing(host, page);
            });
            return;
        }
        if (page.video) {
            write(videoMarkup(page));
            return;
        }
        var extension = window.RufflePlayer && (window.RufflePlayer.newest || window.RufflePlayer.sources);
        if (location.protocol === 'file:' && !extension) {
            write(messageMarkup(page, escapeAttribute(NO_SERVER_MESSAGE)));
            return;
        }
        write('<div id="' + id + '" style="display:inline-block">' + markup(parts) + '</div>');
        loadRuffle(function () {
            var host = document.getElementById(id);
            if (host)
                host.innerHTML = messageMarkup(page, NO_FILES_MESSAGE);
        });
    };

    // No twin: the browser's own player for a single video, and the reason either way.
    function twinMissing(host, page) {
        host.style.display = 'inline-block';
        host.style.width = '';
        host.innerHTML = page.video ? videoMarkup(page) + messageLine(NO_FILES_MESSAGE)
                                    : messageMarkup(page, NO_FILES_MESSAGE);
    }
})();
