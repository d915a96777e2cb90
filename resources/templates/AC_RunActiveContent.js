// AC_RunActiveContent.js - writes the markup that embeds a Flash movie into the page.
//
// The player pages call AC_FL_RunContent('name', 'value', ...) while they are being parsed. The
// pairs are sorted the way Flash embedding markup always sorted them: object attributes, movie
// parameters and embed attributes. 'src' and 'movie' name the movie without its ".swf".
//
// No current browser has the Flash plug-in. Without one:
// - a page that names a 'video' the browser plays itself (H.264 in MP4, which the emulator
//   cannot decode) gets a <video> element with the 'poster' picture;
// - otherwise the script loads the Ruffle emulator, which replaces the written <embed>/<object>
//   with a player of its own: "ruffle/ruffle.js" beside the page, then one folder up (a
//   web-ready output folder), then Ruffle's public copy;
// - a page opened from file:// (where the emulator cannot fetch its parts), or one for which no
//   emulator loads, shows its 'poster' with a message instead of a dead placeholder.
(function () {
    'use strict';

    var FLASH_CLASSID = 'clsid:d27cdb6e-ae6d-11cf-96b8-444553540000';
    var FLASH_MIME = 'application/x-shockwave-flash';
    var RUFFLE_SOURCES = ['ruffle/ruffle.js', '../ruffle/ruffle.js', 'https://unpkg.com/@ruffle-rs/ruffle'];
    var NO_PLAYER_MESSAGE = 'This page plays when it is opened through a web server. In Reelmaker, use Watch result.';
    // Pairs for the page itself, never passed to the Flash markup.
    var PAGE_KEYS = ['video', 'poster', 'autoplay'];

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

    function loadScript(src, onError) {
        var script = document.createElement('script');
        script.src = src;
        script.async = true;
        if (onError)
            script.onerror = onError;
        (document.head || document.getElementsByTagName('head')[0] || document.documentElement).appendChild(script);
    }

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
        var next = 0;
        (function tryNext() {
            if (next >= RUFFLE_SOURCES.length) {
                for (var i = 0; i < ruffleFailed.length; i++)
                    ruffleFailed[i]();
                return;
            }
            loadScript(RUFFLE_SOURCES[next++], tryNext);
        })();
    }

    function pageValues(args) {
        var v = { width: '', height: '', bgcolor: '', video: '', poster: '', autoplay: false };
        for (var i = 0; i + 1 < args.length; i += 2) {
            var key = String(args[i]).toLowerCase();
            var value = String(args[i + 1]);
            if (key === 'width' || key === 'height' || key === 'bgcolor' || key === 'video' || key === 'poster')
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

    function messageMarkup(v) {
        var s = '<div class="rm-no-player" style="position:relative;display:inline-block;overflow:hidden;' +
                sizeStyle(v) + '">';
        if (v.poster)
            s += '<img src="' + escapeAttribute(v.poster) + '" alt="" onerror="this.style.display=\'none\'"' +
                 ' style="display:block;width:100%;height:100%;object-fit:contain" />';
        return s + '<p style="position:absolute;left:0;right:0;bottom:0;margin:0;padding:8px;' +
               'background:rgba(0,0,0,0.7);color:#fff;font:14px sans-serif;text-align:center">' +
               escapeAttribute(NO_PLAYER_MESSAGE) + '</p></div>';
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
        if (page.video) {
            write(videoMarkup(page));
            return;
        }
        var extension = window.RufflePlayer && (window.RufflePlayer.newest || window.RufflePlayer.sources);
        if (location.protocol === 'file:' && !extension) {
            write(messageMarkup(page));
            return;
        }
        var id = 'rm-player-' + (++hosts);
        write('<div id="' + id + '" style="display:inline-block">' + markup(parts) + '</div>');
        loadRuffle(function () {
            var host = document.getElementById(id);
            if (host)
                host.innerHTML = messageMarkup(page);
        });
    };
})();
