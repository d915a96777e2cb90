// AC_RunActiveContent.js - writes the markup that embeds a Flash movie into the page.
//
// The player pages call AC_FL_RunContent('name', 'value', ...) while they are being parsed. The
// pairs are sorted the way Flash embedding markup always sorted them: object attributes, movie
// parameters and embed attributes. 'src' and 'movie' name the movie without its ".swf".
//
// No current browser has the Flash plug-in, so when none is present this script also loads the
// Ruffle emulator, which replaces the written <embed>/<object> with a player of its own:
// "ruffle/ruffle.js" beside the page when it exists there, otherwise Ruffle's public copy.
(function () {
    'use strict';

    var FLASH_CLASSID = 'clsid:d27cdb6e-ae6d-11cf-96b8-444553540000';
    var FLASH_MIME = 'application/x-shockwave-flash';
    var RUFFLE_BESIDE_PAGE = 'ruffle/ruffle.js';
    var RUFFLE_PUBLIC = 'https://unpkg.com/@ruffle-rs/ruffle';

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
            if (!isAttributeName(name) || key === 'classid')
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

    function loadScript(src, onError) {
        var script = document.createElement('script');
        script.src = src;
        script.async = true;
        if (onError)
            script.onerror = onError;
        (document.head || document.getElementsByTagName('head')[0] || document.documentElement).appendChild(script);
    }

    function loadRuffle() {
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
        loadScript(RUFFLE_BESIDE_PAGE, function () {
            loadScript(RUFFLE_PUBLIC, null);
        });
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

    window.AC_FL_RunContent = function () {
        var parts = sortArguments(arguments, '.swf');
        write(markup(parts));
        if (!hasFlashPlugin())
            loadRuffle();
    };
})();
