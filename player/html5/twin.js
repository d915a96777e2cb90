// The HTML5 twin of a generated player: the design of the SWF (skin, hidden controls, auto play,
// auto hide, credits, decoration and its link, background, preloader, transition, playlist)
// around the browser's own video, on Video.js. The page's AC_RunActiveContent.js loads this file
// from the "ruffle" folder and calls RmTwin.mount; the design comes from the player's
// "<name>.html5.js" beside the page (written with the SWF, from the same configuration).
(function () {
    'use strict';

    var self = document.currentScript;
    var folder = self ? self.src.replace(/[^\/]*$/, '') : 'ruffle/';
    var lastDesign = null;
    var vjsState = 0;  // 0 not asked for, 1 loading, 2 there, 3 failed
    var vjsWaiting = [];

    window.RmTwinDesign = function (design) { lastDesign = design; };

    function addScript(src, onLoad, onFail) {
        var s = document.createElement('script');
        s.src = src;
        s.async = true;
        s.onload = onLoad;
        s.onerror = onFail;
        document.head.appendChild(s);
    }

    function addStyle(href) {
        var l = document.createElement('link');
        l.rel = 'stylesheet';
        l.href = href;
        document.head.appendChild(l);
    }

    function loadVideoJs(done) {
        if (vjsState >= 2) return done(vjsState === 2);
        vjsWaiting.push(done);
        if (vjsState === 1) return;
        vjsState = 1;
        addStyle(folder + 'video-js.min.css');
        addStyle(folder + 'twin.css');
        var finish = function (ok) {
            vjsState = ok ? 2 : 3;
            var w = vjsWaiting;
            vjsWaiting = [];
            for (var i = 0; i < w.length; i++) w[i](ok);
        };
        addScript(folder + 'video.core.min.js', function () { finish(!!window.videojs); },
                  function () { finish(false); });
    }

    // --- values of the configuration ---

    function flag(v) { return v !== undefined && v !== null && v !== 0 && v !== false; }
    function num(v, d) { return typeof v === 'number' && isFinite(v) ? v : d; }
    function rgb(v, d, alpha) {
        v = num(v, d);
        var c = [(v >> 16) & 255, (v >> 8) & 255, v & 255];
        return alpha === undefined ? 'rgb(' + c.join(',') + ')' : 'rgba(' + c.join(',') + ',' + alpha + ')';
    }

    // The address a decoration opens, or null for none: only http, https, mailto and relative
    // links, judged as a browser reads them (blanks around and control characters inside
    // dropped), the same rule as the SWF's. The bare default "http://" is no link.
    function decorationLink(url) {
        if (typeof url !== 'string') return null;
        var blank = /^[\u0000-\u0020\u007f-\u00a0\u1680\u2000-\u200f\u2028-\u202f\u205f\u3000\ufeff]+|[\u0000-\u0020\u007f-\u00a0\u1680\u2000-\u200f\u2028-\u202f\u205f\u3000\ufeff]+$/g;
        var s = url.replace(blank, '').replace(/[\u0000-\u001f\u007f-\u009f\u2028\u2029]/g, '');
        if (s === '') return null;
        var first = s.search(/[\/?#\\]/);
        if (first < 0) first = s.length;
        var colon = s.indexOf(':');
        if (colon < 0 || colon > first) return s;
        var scheme = s.slice(0, colon).toLowerCase();
        var rest = s.slice(colon + 1);
        if (scheme === 'mailto') return rest === '' ? null : s;
        if (scheme !== 'http' && scheme !== 'https') return null;
        return rest.replace(/^[\/\\]+/, '') === '' ? null : s;
    }

    // An asset of the design as an element: a picture (<img>) or a text drawn with its font
    // (<canvas> from the ARGB pixels).
    function assetElement(design, i) {
        var list = design.player.assets || [];
        if (typeof i !== 'number' || i < 0 || i >= list.length || !design.data[i]) return null;
        var a = list[i];
        if (a.kind !== 'argb') {
            var img = document.createElement('img');
            img.alt = '';
            img.src = 'data:image/jpeg;base64,' + design.data[i];
            return img;
        }
        var bytes = atob(design.data[i]);
        var c = document.createElement('canvas');
        c.width = a.w;
        c.height = a.h;
        var ctx = c.getContext('2d');
        var px = ctx.createImageData(a.w, a.h);
        for (var p = 0, q = 0; p + 3 < bytes.length && q < px.data.length; p += 4, q += 4) {
            px.data[q] = bytes.charCodeAt(p + 1);
            px.data[q + 1] = bytes.charCodeAt(p + 2);
            px.data[q + 2] = bytes.charCodeAt(p + 3);
            px.data[q + 3] = bytes.charCodeAt(p);
        }
        ctx.putImageData(px, 0, 0);
        return c;
    }

    function assetUrl(design, i) {
        var list = design.player.assets || [];
        return typeof i === 'number' && i >= 0 && i < list.length && list[i].kind !== 'argb' && design.data[i]
            ? 'data:image/jpeg;base64,' + design.data[i] : '';
    }

    // Places an element in stage pixels (the SWF's W x H), as shares of the player's box so
    // that it keeps its place when the player is scaled to the page.
    function place(el, W, H, x, y, w, h) {
        el.style.left = (100 * x / W) + '%';
        el.style.top = (100 * y / H) + '%';
        if (w !== undefined) el.style.width = (100 * w / W) + '%';
        if (h !== undefined) el.style.height = (100 * h / H) + '%';
    }

    function layer(cls) {
        var d = document.createElement('div');
        d.className = cls;
        return d;
    }

    // The pattern of the skin's bar (snow, stars), drawn like the SWF's with the same numbers.
    function barPattern(skin, W, barH) {
        var decor = skin.decor;
        if (decor !== 'snow' && decor !== 'stars') return '';
        var c = document.createElement('canvas');
        c.width = W;
        c.height = barH;
        var g = c.getContext('2d');
        var seed = 7;
        var rnd = function () { seed = (seed * 1103515245 + 12345) & 0x7fffffff; return (seed % 10000) / 10000; };
        g.fillStyle = rgb(skin.decorColor, 0xffffff, decor === 'snow' ? 0.85 : 1);
        var n = decor === 'snow' ? Math.floor(W / 9) : Math.floor(W / 40);
        for (var i = 0; i < n; i++) {
            var x = rnd() * W, y = rnd() * barH, r = decor === 'snow' ? 0.8 + rnd() * 1.6 : 1.5 + rnd() * 2.5;
            g.beginPath();
            if (decor === 'snow') {
                g.arc(x, y, r, 0, 2 * Math.PI);
            } else {
                for (var k = 0; k < 10; k++) {
                    var a = -Math.PI / 2 + k * Math.PI / 5, rr = k % 2 ? r * 0.45 : r;
                    g.lineTo(x + Math.cos(a) * rr, y + Math.sin(a) * rr);
                }
            }
            g.fill();
        }
        // Holly along the top edge of a snowy bar.
        for (var k = 0; decor === 'snow' && k < W; k += 46) {
            g.fillStyle = '#1e7b34';
            g.beginPath(); g.ellipse(k + 4.5, 0.5, 4.5, 2.5, 0, 0, 2 * Math.PI); g.fill();
            g.fillStyle = '#e0262b';
            g.beginPath(); g.arc(k + 10, 1, 2.2, 0, 2 * Math.PI); g.fill();
        }
        return 'url(' + c.toDataURL() + ')';
    }

    // The skin as CSS custom properties of the twin (twin.css draws with them).
    function skinStyle(el, skin, W) {
        var barH = Math.max(16, Math.min(80, num(skin.barHeight, 32)));
        var alpha = Math.max(0, Math.min(1, num(skin.alpha, 1)));
        var shapes = { round: '50%', rounded: '20%', square: '0' };
        var vars = {
            '--rm-bar-h': barH + 'px',
            '--rm-bar-top': rgb(skin.barTop, 0x555555, alpha),
            '--rm-bar-bottom': rgb(skin.barBottom, 0x222222, alpha),
            '--rm-big': rgb(skin.barBottom, 0x222222, 0.8),
            '--rm-button': rgb(skin.button, 0xffffff),
            '--rm-hover': rgb(skin.buttonHover, 0xffff00),
            '--rm-face': skin.buttonFace === undefined ? 'transparent' : rgb(skin.buttonFace, 0),
            '--rm-shape': shapes[skin.shape] || '50%',
            '--rm-accent': rgb(skin.accent, 0x33aaff),
            '--rm-track': rgb(skin.track, 0x333333),
            '--rm-text': rgb(skin.text, 0xffffff),
            '--rm-edge': skin.edge === undefined ? 'transparent' : rgb(skin.edge, 0),
            '--rm-edge-w': skin.edge === undefined ? '0px' : Math.max(1, Math.round(barH * 0.06)) + 'px',
            '--rm-pattern': barPattern(skin, W, barH) || 'none',
        };
        if (skin.decor === 'gloss') vars['--rm-pattern'] = 'linear-gradient(rgba(255,255,255,0.18) 45%, transparent 45%)';
        if (skin.decor === 'stripes')
            vars['--rm-pattern'] = 'repeating-linear-gradient(45deg, transparent 0 10px, ' + rgb(skin.decorColor, 0xffffff, 0.12) + ' 10px 16px)';
        for (var k in vars) el.style.setProperty(k, vars[k]);
    }

    // The transition template drawn over the picture when a video starts (p: 0 covered .. 1 open).
    function drawTransition(g, kind, color, W, H, p, tech) {
        var q = 1 - p;
        g.clearRect(0, 0, W, H);
        g.fillStyle = color;
        tech.style.transform = '';
        switch (kind) {
        case 'wipe': g.fillRect(W * p, 0, W * q, H); break;
        case 'blinds': for (var i = 0; i < 8; i++) g.fillRect(0, i * H / 8, W, H / 8 * q); break;
        case 'iris':
            g.beginPath();
            g.rect(0, 0, W, H);
            g.arc(W / 2, H / 2, Math.max(0.1, p * Math.sqrt(W * W + H * H) / 2), 0, 2 * Math.PI, true);
            g.fill();
            break;
        case 'zoom':
            tech.style.transform = p < 1 ? 'scale(' + (0.2 + 0.8 * p) + ')' : '';
            g.globalAlpha = q;
            g.fillRect(0, 0, W, H);
            g.globalAlpha = 1;
            break;
        case 'curtain': g.fillRect(0, 0, W / 2 * q, H); g.fillRect(W - W / 2 * q, 0, W / 2 * q, H); break;
        case 'checker':
            for (var x = 0; x < 8; x++) for (var y = 0; y < 6; y++) {
                var k = Math.max(0, Math.min(1, q * 2 - ((x + y) % 2 ? 0.5 : 0)));
                var cw = W / 8, ch = H / 6;
                g.fillRect(x * cw + cw * (1 - k) / 2, y * ch + ch * (1 - k) / 2, cw * k, ch * k);
            }
            break;
        default:
            g.globalAlpha = q;
            g.fillRect(0, 0, W, H);
            g.globalAlpha = 1;
        }
    }

    // The preloader template, drawn while the video waits for data.
    function drawPreloader(g, pre, size, t) {
        var c1 = rgb(pre.color, 0xffffff), c2 = rgb(pre.color2, 0x888888);
        var s = g.canvas.width;
        g.clearRect(0, 0, s, s);
        g.save();
        g.translate(s / 2, s / 2);
        g.fillStyle = c1;
        g.strokeStyle = c1;
        switch (pre.kind) {
        case 'bar':
            g.fillStyle = c2;
            g.fillRect(-size * 2, -size * 0.18, size * 4, size * 0.35);
            g.fillStyle = c1;
            g.fillRect(-size * 2 + size * 3 * ((t * 0.8) % 1), -size * 0.18, size, size * 0.35);
            break;
        case 'dots':
            for (var i = 0; i < 3; i++) {
                var ph = Math.sin(t * 6 - i * 0.9);
                g.fillStyle = ph > 0 ? c1 : c2;
                g.beginPath();
                g.arc((i - 1) * size * 0.8, -Math.max(0, ph) * size * 0.4, size * 0.25, 0, 2 * Math.PI);
                g.fill();
            }
            break;
        case 'ring':
            g.lineWidth = Math.max(3, size * 0.2);
            g.strokeStyle = c2;
            g.beginPath(); g.arc(0, 0, size, 0, 2 * Math.PI); g.stroke();
            g.strokeStyle = c1;
            g.beginPath(); g.arc(0, 0, size, t * 5, t * 5 + Math.PI * 0.6); g.stroke();
            break;
        case 'pulse':
            var k = (t * 1.2) % 1;
            g.globalAlpha = 1 - k;
            g.beginPath(); g.arc(0, 0, size * (0.3 + k), 0, 2 * Math.PI); g.fill();
            g.globalAlpha = 1;
            g.fillStyle = c2;
            g.beginPath(); g.arc(0, 0, size * 0.3, 0, 2 * Math.PI); g.fill();
            break;
        default:
            var head = Math.floor(t * 12) % 12;
            g.lineWidth = Math.max(2, size * 0.16);
            for (var j = 0; j < 12; j++) {
                var a = j * Math.PI / 6, age = (head - j + 12) % 12;
                g.strokeStyle = age === 0 ? c1 : c2;
                g.globalAlpha = 1 - age / 12 * 0.8;
                g.beginPath();
                g.moveTo(Math.cos(a) * size * 0.5, Math.sin(a) * size * 0.5);
                g.lineTo(Math.cos(a) * size, Math.sin(a) * size);
                g.stroke();
            }
        }
        g.restore();
    }

    var ICONS = {
        prev: '<path d="M6 6h2v12H6zm3.5 6 8.5 6V6z"/>',
        next: '<path d="M6 18l8.5-6L6 6v12zM16 6v12h2V6h-2z"/>',
        list: '<path d="M4 6h16v2H4zm0 5h16v2H4zm0 5h16v2H4z"/>',
    };

    function registerButtons(videojs) {
        if (videojs.getComponent('RmButton')) return;
        var Button = videojs.getComponent('Button');
        class RmButton extends Button {
            constructor(player, options) {
                super(player, options);
                this.controlText(options.label);
                this.addClass('rm-' + options.icon);
                this.el().querySelector('.vjs-icon-placeholder').innerHTML =
                    '<svg viewBox="0 0 24 24" aria-hidden="true" focusable="false">' + ICONS[options.icon] + '</svg>';
            }
            handleClick(e) { this.options_.click(e); }
        }
        videojs.registerComponent('RmButton', RmButton);
    }

    // --- the player ---

    // Playing times as the SWF's bar writes them: minutes and seconds, two digits each.
    function formatTime(t) {
        t = isFinite(t) && t > 0 ? Math.floor(t) : 0;
        var m = Math.floor(t / 60), s = t % 60;
        return (m < 10 ? '0' : '') + m + ':' + (s < 10 ? '0' : '') + s;
    }

    function build(host, design, page) {
        var videojs = window.videojs;
        registerButtons(videojs);
        if (videojs.time && videojs.time.setFormatTime) videojs.time.setFormatTime(formatTime);
        var cfg = design.player || {};
        var W = Math.max(16, num(cfg.w, 320)), H = Math.max(16, num(cfg.h, 240));
        var hide = cfg.hide || {};
        var skin = cfg.skin && !flag(cfg.hideAll) ? cfg.skin : null;
        var media = [];
        (cfg.media || []).forEach(function (m, i) {
            var src = (design.videos || [])[i] || (i === 0 ? page.video : '');
            if (!src) return;
            media.push({ src: src, title: m.title || '', poster: m.thumb || assetUrl(design, m.thumbAsset) });
        });
        if (media.length === 0) return false;
        var many = media.length > 1;

        var box = layer('rm-twin');
        box.style.maxWidth = W + 'px';
        box.style.aspectRatio = W + ' / ' + H;
        box.style.backgroundColor = rgb(cfg.bg, 0);
        var video = document.createElement('video');
        video.className = 'video-js';
        video.setAttribute('playsinline', '');
        box.appendChild(video);
        host.appendChild(box);
        if (skin) skinStyle(box, skin, W);
        else if (cfg.skin) skinStyle(box, cfg.skin, W);  // no bar, but the big button keeps its colours
        // The big play button's size in stage pixels, as a share of the player's width.
        box.style.setProperty('--rm-big-size', 'min(' + 2 * Math.max(14, Math.min(W, H) / 8) + 'px, ' +
                              (200 * Math.max(14, Math.min(W, H) / 8) / W) + 'cqw)');
        box.style.containerType = 'inline-size';

        var bar = false;
        if (skin) {
            var children = [];
            if (many && !flag(hide.prenext)) children.push({ name: 'RmButton', icon: 'prev', label: 'Previous video', click: function () { playIndex(index - 1, true); } });
            children.push('playToggle');
            if (many && !flag(hide.prenext)) children.push({ name: 'RmButton', icon: 'next', label: 'Next video', click: function () { playIndex(index + 1, true); } });
            if (!flag(hide.progress)) children.push('progressControl');
            else children.push('customControlSpacer');
            if (!flag(hide.time)) children.push('currentTimeDisplay', 'timeDivider', 'durationDisplay');
            if (!flag(hide.mute) || !flag(hide.volume))
                children.push({ name: 'volumePanel', inline: true, muteToggle: !flag(hide.mute), volumeControl: !flag(hide.volume) });
            if (many && !flag(hide.plBtn)) children.push({ name: 'RmButton', icon: 'list', label: 'Playlist', click: function () { list.hidden = !list.hidden; } });
            if (!flag(hide.full)) children.push('fullscreenToggle');
            bar = { children: children };
        }
        var autoHide = flag(cfg.skinAutoHide) || flag(cfg.sliderAutoHide) || flag(cfg.mouseAutoHide);
        var player = videojs(video, {
            controls: true,
            fill: true,
            preload: 'auto',
            poster: media[0].poster,
            sources: [{ src: media[0].src, type: 'video/mp4' }],
            controlBar: bar,
            inactivityTimeout: autoHide ? 1000 * Math.max(1, Math.min(300, num(cfg.hideDelay, 5))) : 0,
            bigPlayButton: true,
            textTrackDisplay: false,
            errorDisplay: true,
        });
        box.tabIndex = -1;
        var el = player.el();
        el.classList.add('vjs-big-play-centered');
        el.setAttribute('aria-label', (media[0].title || 'Video') + ' player');
        if (!skin) el.classList.add('rm-no-bar');
        if (!flag(cfg.skinAutoHide)) el.classList.add('rm-keep-bar');
        if (flag(cfg.sliderAutoHide)) el.classList.add('rm-hide-slider');
        if (!flag(cfg.mouseAutoHide)) el.classList.add('rm-keep-mouse');
        var tech = el.querySelector('video');
        var before = el.querySelector('.vjs-poster') ? el.querySelector('.vjs-poster').nextSibling : tech.nextSibling;

        // Layers in the SWF's order: decoration, credits, transition, preloader, playlist.
        var deco = null;
        var d = cfg.deco;
        if (d) {
            var link = decorationLink(d.url);
            deco = document.createElement(link ? 'a' : 'div');
            deco.className = 'rm-deco';
            if (link) {
                deco.href = link;
                deco.target = d.target || '_blank';
                deco.rel = 'noopener noreferrer';
                deco.setAttribute('aria-label', 'Decoration link: ' + link);
            }
            var art = assetElement(design, d.asset);
            if (!art && d.src) {
                art = document.createElement('img');
                art.alt = '';
                art.src = d.src;
            }
            var isText = art && art.tagName === 'CANVAS';
            place(deco, W, H, num(d.x, 0), num(d.y, 0), isText ? art.width : num(d.w, W), isText ? art.height : num(d.h, H));
            if (art) deco.appendChild(art);
            el.insertBefore(deco, before);
        }
        var credit = layer('rm-credit');
        credit.hidden = true;
        el.insertBefore(credit, before);
        var cover = document.createElement('canvas');
        cover.className = 'rm-transition';
        cover.width = W;
        cover.height = H;
        cover.hidden = true;
        el.insertBefore(cover, before);
        var pre = null, preSize = Math.max(12, Math.min(W, H) * 0.12);
        if (cfg.preloader) {
            pre = layer('rm-preloader');
            var pc = document.createElement('canvas');
            pc.width = pc.height = Math.ceil(preSize * 2.6);
            pre.appendChild(pc);
            if (cfg.preloader.text) {
                var label = document.createElement('div');
                label.textContent = cfg.preloader.text;
                label.style.color = rgb(cfg.preloader.color, 0xffffff);
                pre.appendChild(label);
            }
            pre.hidden = true;
            el.classList.add('rm-has-preloader');
            el.insertBefore(pre, before);
        }
        var list = layer('rm-playlist');
        list.hidden = true;
        if (many && skin && !flag(hide.playlist)) {
            list.style.width = Math.min(180, W * 0.5) / W * 100 + '%';
            list.style.bottom = 'var(--rm-bar-h)';
            media.forEach(function (m, i) {
                var b = document.createElement('button');
                b.type = 'button';
                b.className = 'rm-playlist-item';
                b.setAttribute('aria-label', 'Play ' + m.title);
                if (m.poster) {
                    var t = document.createElement('img');
                    t.alt = '';
                    t.src = m.poster;
                    b.appendChild(t);
                }
                b.appendChild(document.createTextNode(m.title));
                b.addEventListener('click', function () { playIndex(i, true); });
                list.appendChild(b);
            });
            el.insertBefore(list, el.querySelector('.vjs-control-bar'));
        }

        // --- states: idle, head credit, playing (or paused), tail credit ---
        var state = 'idle', index = 0, loaded = 0, timer = 0, transitionStart = -1;
        var realPlay = player.play.bind(player);

        function showCredit(c) {
            credit.textContent = '';
            credit.style.backgroundColor = rgb(c.bg, 0);
            var img = assetElement(design, c.image);
            if (img) {
                img.className = 'rm-credit-picture';
                credit.appendChild(img);
            }
            var text = assetElement(design, c.text);
            if (text) {
                text.className = 'rm-credit-text';
                place(text, W, H, num(c.tx, 0), num(c.ty, 0), text.width, text.height);
                credit.appendChild(text);
            }
            credit.hidden = false;
            el.classList.add('rm-in-credit');
        }

        function hideCredit() {
            credit.hidden = true;
            el.classList.remove('rm-in-credit');
        }

        function play() {
            var p = realPlay();
            // A browser that allows no sound before the viewer has touched the page still plays
            // muted: an auto play player starts, and the mute button brings the sound.
            if (p && p.catch) p.catch(function () {
                if (state === 'playing' && player.paused() && !player.muted()) {
                    player.muted(true);
                    realPlay();
                }
            });
        }

        function start() {
            clearTimeout(timer);
            if (state === 'ended') index = 0;
            if (cfg.head) {
                state = 'head';
                showCredit(cfg.head);
                timer = setTimeout(function () { playIndex(index, false); }, 1000 * num(cfg.head.duration, 1));
            } else {
                playIndex(index, false);
            }
        }

        function load(i) {
            loaded = i;
            player.poster(media[i].poster);
            player.src({ src: media[i].src, type: 'video/mp4' });
        }

        function playIndex(i, fromUser) {
            if (i < 0) i = media.length - 1;
            if (i >= media.length) i = 0;
            clearTimeout(timer);
            hideCredit();
            index = i;
            state = 'playing';
            list.hidden = true;
            if (i !== loaded) load(i);
            else if (fromUser) player.currentTime(0);
            transitionStart = -1;
            if (deco) el.classList.add('rm-show-deco');
            play();
        }

        // Every way of starting (the big button, the bar's, the picture, the keyboard) goes
        // through the player's states, so the head credit comes first as in the SWF.
        player.play = function () {
            if (state === 'idle' || state === 'ended') {
                start();
                return Promise.resolve();
            }
            if (state === 'head' || state === 'tail') return Promise.resolve();
            return realPlay();
        };

        function finish() {
            clearTimeout(timer);
            hideCredit();
            state = 'ended';
            el.classList.remove('rm-show-deco');
            index = 0;
            if (loaded !== 0) load(0);
            else player.currentTime(0);
            player.hasStarted(false);
        }

        player.on('ended', function () {
            if (state !== 'playing') return;
            if (index + 1 < media.length) {
                playIndex(index + 1, false);
                return;
            }
            el.classList.remove('rm-show-deco');
            if (cfg.tail) {
                state = 'tail';
                showCredit(cfg.tail);
                timer = setTimeout(finish, 1000 * num(cfg.tail.duration, 1));
            } else {
                finish();
            }
        });

        // The decoration shows while a video plays or pauses, within its own stretch of time.
        player.on('timeupdate', function () {
            if (!deco) return;
            var t = player.currentTime(), s = num(d.start, 0), len = num(d.len, 0);
            deco.style.visibility = t >= s && (len <= 0 || t < s + len) ? '' : 'hidden';
        });

        // The transition runs over the first pictures of each video started.
        var g = cover.getContext('2d');
        var effect = cfg.effect;
        player.on('playing', function () {
            if (!effect || transitionStart >= 0 || state !== 'playing') return;
            transitionStart = performance.now();
            cover.hidden = false;
            var dur = 1000 * (num(effect.duration, 1) > 0 ? num(effect.duration, 1) : 0.5);
            (function frame(now) {
                var p = Math.min(1, (now - transitionStart) / dur);
                drawTransition(g, effect.kind || 'fade', rgb(effect.color, 0), W, H, p, tech);
                if (p < 1) requestAnimationFrame(frame);
                else cover.hidden = true;
            })(transitionStart);
        });

        if (pre) {
            var pg = pre.querySelector('canvas').getContext('2d');
            var spin = 0;
            var showPre = function () {
                if (state !== 'playing' || spin) return;
                pre.hidden = false;
                (function frame(now) {
                    drawPreloader(pg, cfg.preloader, preSize, now / 1000);
                    spin = requestAnimationFrame(frame);
                })(performance.now());
            };
            var hidePre = function () {
                cancelAnimationFrame(spin);
                spin = 0;
                pre.hidden = true;
            };
            player.on(['waiting', 'loadstart'], function () { if (state === 'playing' && !player.paused()) showPre(); });
            player.on(['playing', 'pause', 'ended', 'error'], hidePre);
        }

        // Keyboard: space plays or pauses, the arrows seek (left, right) and change the volume
        // (up, down), F toggles full screen, M mutes. Keys typed into the page's other controls
        // are theirs.
        function onKey(e) {
            if (e.altKey || e.ctrlKey || e.metaKey) return;
            var t = e.target;
            var inside = el.contains(t) || box === t;
            if (!inside && t !== document.body && t !== document.documentElement) return;
            if (t && /^(INPUT|TEXTAREA|SELECT)$/.test(t.tagName)) return;
            var onButton = t && (t.tagName === 'BUTTON' || t.tagName === 'A') && t !== el;
            var k = e.key;
            if (k === ' ' || k === 'Spacebar') {
                if (onButton) return;
                if (player.paused() || state !== 'playing') player.play();
                else player.pause();
            } else if (k === 'ArrowLeft' || k === 'ArrowRight') {
                if (state !== 'playing') return;
                var to = player.currentTime() + (k === 'ArrowLeft' ? -5 : 5);
                player.currentTime(Math.max(0, Math.min(to, (player.duration() || to) - 0.1)));
            } else if (k === 'ArrowUp' || k === 'ArrowDown') {
                player.volume(Math.max(0, Math.min(1, player.volume() + (k === 'ArrowUp' ? 0.1 : -0.1))));
            } else if (k === 'f' || k === 'F') {
                if (player.isFullscreen()) player.exitFullscreen(); else player.requestFullscreen();
            } else if (k === 'm' || k === 'M') {
                player.muted(!player.muted());
            } else {
                return;
            }
            e.preventDefault();
            e.stopPropagation();
            player.userActive(true);
        }
        document.addEventListener('keydown', onKey, true);

        host.rmTwin = player;
        if (flag(cfg.autoPlay || page.autoplay)) start();
        return true;
    }

    window.RmTwin = {
        decorationLink: decorationLink,
        // Shows the twin in host; fail() when its parts or the design cannot be loaded.
        mount: function (host, page, fail) {
            loadVideoJs(function (ok) {
                if (!ok) return fail();
                lastDesign = null;
                addScript(page.design, function () {
                    var design = lastDesign;
                    lastDesign = null;
                    if (!design || !design.player || !build(host, design, page)) fail();
                }, fail);
            });
        },
    };
})();
