import flash.display.Bitmap;
import flash.display.BitmapData;
import flash.display.DisplayObject;
import flash.display.Loader;
import flash.display.MovieClip;
import flash.display.Shape;
import flash.display.Sprite;
import flash.display.StageDisplayState;
import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.events.MouseEvent;
import flash.events.NetStatusEvent;
import flash.geom.Rectangle;
import flash.Lib;
import flash.media.SoundMixer;
import flash.media.SoundTransform;
import flash.media.Video;
import flash.net.NetConnection;
import flash.net.NetStream;
import flash.net.URLRequest;
import flash.text.TextField;
import flash.text.TextFormat;
import flash.ui.Mouse;
import flash.utils.ByteArray;

// The generated player. One runtime for every output: what it shows comes from the RmConfig
// bytes the player maker links in (JSON header + assets), and for an embedded video from the
// RmVideoClip sprite.
class Player extends Sprite {
	static inline var IDLE = 0;
	static inline var HEAD = 1;
	static inline var PLAYING = 2;
	static inline var PAUSED = 3;
	static inline var TAIL = 4;
	static inline var ENDED = 5;

	var cfg:Dynamic;
	var raw:ByteArray;
	var dataStart:Int = 0;
	var W:Int = 320;
	var H:Int = 240;
	var fps:Float = 25;

	var videoLayer:Sprite;
	var thumbLayer:Sprite;
	var decoLayer:Sprite;
	var creditLayer:Sprite;
	var coverLayer:Sprite;
	var bigPlay:Sprite;
	var bar:ControlBar;
	var playlistPanel:Sprite;
	var transition:Transition;
	var preloader:Preloader;

	var media:Array<Dynamic>;
	var index:Int = 0;
	var state:Int = IDLE;
	var stateStart:Int = 0;

	var nc:NetConnection;
	var ns:NetStream;
	var video:Video;
	var clip:MovieClip;
	var lastClipFrame:Int = 0;
	var duration:Float = 0;
	var keyTimes:Array<Float>;
	var buffering:Bool = false;
	var lastStreamTime:Float = 0;
	var videoShown:Bool = false;

	var volume:Float = 0.8;
	var muted:Bool = false;
	var lastMove:Int = 0;
	var hiddenByIdle:Bool = false;
	var baseUrl:String = "";

	static function main() {
		var root = flash.Lib.current;
		root.stage.frameRate = root.stage.frameRate; // keep the header's rate
		root.addChild(new Player());
	}

	public function new() {
		super();
		readConfig();
		var u:String = flash.Lib.current.loaderInfo.url;
		if (u != null) {
			var q = u.indexOf("?");
			if (q >= 0) u = u.substr(0, q);
			var slash = u.lastIndexOf("/");
			if (slash >= 0) baseUrl = u.substr(0, slash + 1);
		}
		build();
		addEventListener(Event.ENTER_FRAME, onFrame);
		flash.Lib.current.stage.addEventListener(MouseEvent.MOUSE_MOVE, onMouseMove);
		lastMove = Lib.getTimer();
		if (flag(cfg.autoPlay)) startPlayback() else showIdle();
	}

	static function clearChildren(c:Sprite) {
		while (c.numChildren > 0) c.removeChildAt(0);
	}

	static function flag(v:Dynamic):Bool {
		return v != null && v != 0 && v != false;
	}

	static function num(v:Dynamic, d:Float):Float {
		return v == null ? d : (v : Float);
	}

	function readConfig() {
		raw = new RmConfig();
		cfg = {};
		if (raw.length >= 4) {
			raw.position = 0;
			var n = raw.readUnsignedInt();
			var text = raw.readUTFBytes(n);
			dataStart = 4 + n;
			try cfg = haxe.Json.parse(text) catch (e:Dynamic) cfg = {};
		}
		W = Std.int(num(cfg.w, 320));
		H = Std.int(num(cfg.h, 240));
		fps = num(cfg.fps, 25);
		media = cfg.media == null ? [] : cfg.media;
	}

	function assetBytes(i:Int):ByteArray {
		var list:Array<Dynamic> = cfg.assets;
		if (list == null || i < 0 || i >= list.length) return null;
		var a = list[i];
		var b = new ByteArray();
		b.writeBytes(raw, dataStart + Std.int(a.off), Std.int(a.len));
		b.position = 0;
		return b;
	}

	// Puts asset i (JPEG or raw ARGB pixels) into holder, fitted into w x h when fit is set.
	// fit: scaled into w x h keeping its proportions; stretch: scaled to fill w x h exactly.
	function showAsset(i:Dynamic, holder:Sprite, w:Float, h:Float, fit:Bool, ?stretch:Bool = false) {
		if (i == null || Std.int(i) < 0) return;
		var a:Dynamic = (cfg.assets : Array<Dynamic>)[Std.int(i)];
		var bytes = assetBytes(Std.int(i));
		if (bytes == null) return;
		if (a.kind == "argb") {
			var bd = new BitmapData(Std.int(a.w), Std.int(a.h), true, 0);
			bd.setPixels(new Rectangle(0, 0, bd.width, bd.height), bytes);
			var bm = new Bitmap(bd, flash.display.PixelSnapping.AUTO, true);
			holder.addChild(bm);
			if (stretch) stretchInto(bm, w, h) else if (fit) fitInto(bm, w, h);
		} else {
			var l = new Loader();
			l.contentLoaderInfo.addEventListener(Event.COMPLETE, function(e) {
				if (stretch) stretchInto(l, w, h) else if (fit) fitInto(l, w, h);
			});
			l.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(e) {});
			l.loadBytes(bytes);
			holder.addChild(l);
		}
	}

	function loadUrlInto(url:String, holder:Sprite, w:Float, h:Float, ?stretch:Bool = false) {
		if (url == null || url == "") return;
		var l = new Loader();
		l.contentLoaderInfo.addEventListener(Event.COMPLETE, function(e) if (stretch) stretchInto(l, w, h) else fitInto(l, w, h));
		l.contentLoaderInfo.addEventListener(IOErrorEvent.IO_ERROR, function(e) {});
		try l.load(new URLRequest(resolve(url))) catch (e:Dynamic) {}
		holder.addChild(l);
	}

	static function fitInto(d:DisplayObject, w:Float, h:Float) {
		d.scaleX = d.scaleY = 1;
		var iw = d.width, ih = d.height;
		if (iw <= 0 || ih <= 0) return;
		var s = Math.min(w / iw, h / ih);
		d.scaleX = d.scaleY = s;
		d.x = (w - iw * s) / 2;
		d.y = (h - ih * s) / 2;
	}

	static function stretchInto(d:DisplayObject, w:Float, h:Float) {
		d.scaleX = d.scaleY = 1;
		var iw = d.width, ih = d.height;
		if (iw <= 0 || ih <= 0) return;
		d.scaleX = w / iw;
		d.scaleY = h / ih;
		d.x = 0;
		d.y = 0;
	}

	function resolve(u:String):String {
		if (u.indexOf("://") >= 0 || u.charAt(0) == "/") return u;
		return baseUrl + u;
	}

	function build() {
		var bg = Std.int(num(cfg.bg, 0));
		graphics.beginFill(bg);
		graphics.drawRect(0, 0, W, H);
		graphics.endFill();

		videoLayer = new Sprite();
		addChild(videoLayer);
		thumbLayer = new Sprite();
		addChild(thumbLayer);
		decoLayer = new Sprite();
		decoLayer.visible = false;
		addChild(decoLayer);
		coverLayer = new Sprite();
		addChild(coverLayer);
		creditLayer = new Sprite();
		creditLayer.visible = false;
		addChild(creditLayer);

		// clicking the picture toggles playback (starts it when idle)
		var hit = new Sprite();
		hit.graphics.beginFill(0, 0);
		hit.graphics.drawRect(0, 0, W, H);
		hit.graphics.endFill();
		hit.addEventListener(MouseEvent.CLICK, function(e) onPictureClick());
		addChildAt(hit, getChildIndex(decoLayer));

		buildDecoration();

		if (cfg.effect != null) {
			transition = new Transition(cfg.effect, W, H);
			addChild(transition);
		}
		if (cfg.preloader != null) {
			preloader = new Preloader(cfg.preloader, W, H);
			addChild(preloader);
		}

		bigPlay = new Sprite();
		var r = Math.max(14, Math.min(W, H) / 8);
		var skin:Dynamic = cfg.skin == null ? {} : cfg.skin;
		bigPlay.graphics.beginFill(ControlBar.intOf(skin.barBottom, 0x222222), 0.8);
		bigPlay.graphics.lineStyle(2, ControlBar.intOf(skin.button, 0xFFFFFF));
		bigPlay.graphics.drawCircle(0, 0, r);
		bigPlay.graphics.endFill();
		bigPlay.graphics.lineStyle();
		Draw.play(bigPlay.graphics, r * 0.1, 0, r * 1.1, ControlBar.intOf(skin.button, 0xFFFFFF));
		bigPlay.x = W / 2;
		bigPlay.y = H / 2;
		bigPlay.buttonMode = true;
		bigPlay.visible = false;
		bigPlay.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) { e.stopPropagation(); startPlayback(); });
		addChild(bigPlay);

		if (cfg.skin != null && !flag(cfg.hideAll)) {
			var hide:Dynamic = cfg.hide == null ? {} : cfg.hide;
			bar = new ControlBar(cfg.skin, W, H, hide, media.length > 1);
			bar.onPlayPause = togglePause;
			bar.onPrev = function() playIndex(index - 1);
			bar.onNext = function() playIndex(index + 1);
			bar.onList = function() if (playlistPanel != null) playlistPanel.visible = !playlistPanel.visible;
			bar.onMute = function() { muted = !muted; applyVolume(); };
			bar.onVolume = function(v) { volume = v; muted = false; applyVolume(); };
			bar.onSeek = seekFraction;
			bar.onFull = toggleFullScreen;
			addChild(bar);
			if (!flag(hide.playlist) && media.length > 1) buildPlaylist(bar.barHeight);
		}
		applyVolume();
	}

	function buildDecoration() {
		var d:Dynamic = cfg.deco;
		if (d == null) return;
		var x = num(d.x, 0), y = num(d.y, 0), w = num(d.w, 0), h = num(d.h, 0);
		decoLayer.x = x;
		decoLayer.y = y;
		var holder = new Sprite();
		decoLayer.addChild(holder);
		if (d.asset != null && Std.int(d.asset) >= 0) {
			var a:Dynamic = (cfg.assets : Array<Dynamic>)[Std.int(d.asset)];
			// A picture fills the rectangle the user drew, as the wizard shows it; a text keeps
			// its own bitmap.
			showAsset(d.asset, holder, w > 0 ? w : a.w, h > 0 ? h : a.h, false, a.kind != "argb");
		} else if (d.src != null) {
			loadUrlInto(d.src, holder, w > 0 ? w : W, h > 0 ? h : H, true);
		}
		var link = DecorationLink.filter(d.url);
		if (link != null) {
			decoLayer.buttonMode = true;
			decoLayer.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) {
				e.stopPropagation();
				try flash.Lib.getURL(new URLRequest(link), d.target == null ? "_blank" : d.target) catch (err:Dynamic) {}
			});
		}
	}

	function buildPlaylist(barH:Int) {
		playlistPanel = new Sprite();
		var pw = Math.min(180, W * 0.5);
		var ph = H - barH;
		playlistPanel.x = W - pw;
		playlistPanel.graphics.beginFill(0x000000, 0.75);
		playlistPanel.graphics.drawRect(0, 0, pw, ph);
		playlistPanel.graphics.endFill();
		var skin:Dynamic = cfg.skin;
		var rowH = 46;
		for (i in 0...media.length) {
			var m:Dynamic = media[i];
			var row = new Sprite();
			row.y = 4 + i * rowH;
			row.graphics.beginFill(ControlBar.intOf(skin.barTop, 0x444444), 0.35);
			row.graphics.drawRect(2, 0, pw - 4, rowH - 4);
			row.graphics.endFill();
			var th = new Sprite();
			th.x = 4;
			th.y = 2;
			if (m.thumbAsset != null && Std.int(m.thumbAsset) >= 0) showAsset(m.thumbAsset, th, 52, 38, true) else loadUrlInto(m.thumb, th, 52, 38);
			row.addChild(th);
			var tf = new TextField();
			tf.defaultTextFormat = new TextFormat("_sans", 11, ControlBar.intOf(skin.text, 0xFFFFFF));
			tf.selectable = false;
			tf.mouseEnabled = false;
			tf.x = 60;
			tf.y = 10;
			tf.width = pw - 64;
			tf.height = 20;
			tf.text = m.title == null ? "" : m.title;
			row.addChild(tf);
			row.buttonMode = true;
			var idx = i;
			row.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) { e.stopPropagation(); playIndex(idx); });
			playlistPanel.addChild(row);
		}
		playlistPanel.visible = false;
		addChildAt(playlistPanel, getChildIndex(bar));
	}

	// --- states ---

	function showIdle() {
		state = IDLE;
		clearChildren(thumbLayer);
		var m:Dynamic = media.length > 0 ? media[index] : null;
		if (m != null) {
			if (m.thumbAsset != null && Std.int(m.thumbAsset) >= 0) showAsset(m.thumbAsset, thumbLayer, W, H, true) else loadUrlInto(m.thumb, thumbLayer, W, H);
		}
		thumbLayer.visible = true;
		bigPlay.visible = true;
	}

	function onPictureClick() {
		if (state == IDLE || state == ENDED) startPlayback() else togglePause();
	}

	function startPlayback() {
		bigPlay.visible = false;
		if (state == ENDED) index = 0;
		if (cfg.head != null) {
			showCredit(cfg.head);
			state = HEAD;
			stateStart = Lib.getTimer();
		} else {
			playIndex(index);
		}
	}

	function showCredit(c:Dynamic) {
		clearChildren(creditLayer);
		creditLayer.graphics.clear();
		creditLayer.graphics.beginFill(Std.int(num(c.bg, 0)));
		creditLayer.graphics.drawRect(0, 0, W, H);
		creditLayer.graphics.endFill();
		if (c.image != null && Std.int(c.image) >= 0) {
			var h = new Sprite();
			creditLayer.addChild(h);
			showAsset(c.image, h, W, H, true);
		}
		if (c.text != null && Std.int(c.text) >= 0) {
			var t = new Sprite();
			t.x = num(c.tx, 0);
			t.y = num(c.ty, 0);
			creditLayer.addChild(t);
			showAsset(c.text, t, 0, 0, false);
		}
		creditLayer.visible = true;
		thumbLayer.visible = false;
	}

	function playIndex(i:Int) {
		if (media.length == 0) return;
		if (i < 0) i = media.length - 1;
		if (i >= media.length) i = 0;
		index = i;
		creditLayer.visible = false;
		thumbLayer.visible = false;
		bigPlay.visible = false;
		stopVideo();
		var m:Dynamic = media[index];
		duration = num(m.duration, 0);
		keyTimes = m.keyframes;
		if (flag(cfg.embedded)) {
			clip = new RmVideoClip();
			clip.width; // force construction of the timeline
			if (m.w != null && m.h != null && Std.int(m.w) > 0) {
				var vw = num(m.w, W), vh = num(m.h, H);
				var s = Math.min(W / vw, H / vh);
				clip.scaleX = clip.scaleY = s;
				clip.x = (W - vw * s) / 2;
				clip.y = (H - vh * s) / 2;
			}
			videoLayer.addChild(clip);
			clip.gotoAndPlay(1);
			lastClipFrame = 0;
			if (duration <= 0) duration = clip.totalFrames / fps;
		} else {
			if (nc == null) {
				nc = new NetConnection();
				nc.connect(null);
			}
			ns = new NetStream(nc);
			ns.bufferTime = 2;
			ns.client = {onMetaData: onMetaData};
			ns.addEventListener(NetStatusEvent.NET_STATUS, onNetStatus);
			video = new Video(W, H);
			var vw = num(m.w, W), vh = num(m.h, H);
			if (vw > 0 && vh > 0) {
				var s = Math.min(W / vw, H / vh);
				video.width = vw * s;
				video.height = vh * s;
				video.x = (W - vw * s) / 2;
				video.y = (H - vh * s) / 2;
			}
			video.smoothing = true;
			video.attachNetStream(ns);
			videoLayer.addChild(video);
			buffering = true;
			lastStreamTime = 0;
			if (preloader != null) preloader.visible = true;
			ns.play(resolve(m.url));
		}
		applyVolume();
		state = PLAYING;
		stateStart = Lib.getTimer();
		videoShown = true;
		decoLayer.visible = cfg.deco != null;
		if (transition != null) transition.start(Lib.getTimer(), videoLayer);
		if (bar != null) bar.setPlaying(true);
	}

	function onMetaData(o:Dynamic) {
		if (o == null) return;
		if (o.duration != null && o.duration > 0) duration = o.duration;
		if (o.keyframes != null && o.keyframes.times != null) keyTimes = o.keyframes.times;
	}

	function onNetStatus(e:NetStatusEvent) {
		var code:String = e.info.code;
		switch (code) {
			case "NetStream.Buffer.Full", "NetStream.Play.Start":
				if (code == "NetStream.Buffer.Full") buffering = false;
			case "NetStream.Buffer.Empty":
				if (state == PLAYING) buffering = true;
			case "NetStream.Play.Stop":
				onVideoEnd();
			case "NetStream.Play.StreamNotFound", "NetStream.Play.Failed":
				buffering = false;
			default:
		}
	}

	function stopVideo() {
		if (ns != null) {
			ns.removeEventListener(NetStatusEvent.NET_STATUS, onNetStatus);
			try ns.close() catch (e:Dynamic) {}
			ns = null;
		}
		if (clip != null) {
			clip.stop();
			SoundMixer.stopAll();
		}
		clearChildren(videoLayer);
		video = null;
		clip = null;
		buffering = false;
	}

	function onVideoEnd() {
		if (state != PLAYING) return;
		if (index + 1 < media.length) {
			playIndex(index + 1);
			return;
		}
		if (clip != null) clip.stop();
		decoLayer.visible = false;
		if (cfg.tail != null) {
			showCredit(cfg.tail);
			state = TAIL;
			stateStart = Lib.getTimer();
		} else {
			endAll();
		}
		if (bar != null) bar.setPlaying(false);
	}

	function endAll() {
		state = ENDED;
		creditLayer.visible = false;
		stopVideo();
		index = 0;
		showIdle();
		state = ENDED;
	}

	function togglePause() {
		if (state == IDLE || state == ENDED) {
			startPlayback();
			return;
		}
		if (state == PLAYING) {
			if (ns != null) ns.pause();
			if (clip != null) clip.stop();
			state = PAUSED;
			if (bar != null) bar.setPlaying(false);
		} else if (state == PAUSED) {
			if (ns != null) ns.resume();
			if (clip != null) clip.play();
			state = PLAYING;
			if (bar != null) bar.setPlaying(true);
		}
	}

	function seekFraction(f:Float) {
		if (duration <= 0) return;
		var t = f * duration;
		if (clip != null) {
			var frame = Std.int(Math.max(1, Math.min(clip.totalFrames, Math.round(t * fps) + 1)));
			lastClipFrame = frame - 1;
			if (state == PLAYING) clip.gotoAndPlay(frame) else clip.gotoAndStop(frame);
		} else if (ns != null) {
			// jump to the keyframe at or before the wanted time, as the FLV's index lists them
			if (keyTimes != null && keyTimes.length > 0) {
				var k = keyTimes[0];
				for (kt in keyTimes) if (kt <= t) k = kt;
				t = k;
			}
			ns.seek(t);
		}
	}

	function toggleFullScreen() {
		var st = flash.Lib.current.stage;
		try {
			st.displayState = st.displayState == StageDisplayState.NORMAL ? StageDisplayState.FULL_SCREEN : StageDisplayState.NORMAL;
		} catch (e:Dynamic) {}
	}

	function applyVolume() {
		var v = muted ? 0.0 : volume;
		// The emulator of today ignores a stream's own transform; the player is alone in its
		// movie, so the global mixer carries the volume as well.
		if (ns != null) ns.soundTransform = new SoundTransform(v);
		SoundMixer.soundTransform = new SoundTransform(v);
		if (bar != null) bar.setVolume(volume, muted);
	}

	function currentTime():Float {
		if (clip != null) return (clip.currentFrame - 1) / fps;
		if (ns != null) return ns.time;
		return 0;
	}

	function onMouseMove(e:MouseEvent) {
		lastMove = Lib.getTimer();
		if (hiddenByIdle) {
			hiddenByIdle = false;
			if (bar != null) {
				bar.visible = true;
				if (bar.progress != null) bar.progress.visible = true;
			}
			Mouse.show();
		}
	}

	function onFrame(e:Event) {
		var now = Lib.getTimer();
		if (transition != null) transition.update(now);
		switch (state) {
			case HEAD:
				if (now - stateStart >= num(cfg.head.duration, 1) * 1000) playIndex(index);
			case TAIL:
				if (now - stateStart >= num(cfg.tail.duration, 1) * 1000) endAll();
			case PLAYING:
				if (clip != null) {
					var f = clip.currentFrame;
					if (f >= clip.totalFrames || f < lastClipFrame) {
						lastClipFrame = f;
						onVideoEnd();
					} else {
						lastClipFrame = f;
					}
				}
			default:
		}
		var t = currentTime();
		if (cfg.deco != null && (state == PLAYING || state == PAUSED)) {
			var start = num(cfg.deco.start, 0);
			var len = num(cfg.deco.len, 0);
			decoLayer.visible = t >= start && (len <= 0 || t < start + len);
		}
		if (ns != null && buffering && state == PLAYING) {
			// pictures are arriving: whatever the buffer events say, loading is over
			var nt = ns.time;
			if (nt > 0.05 && nt != lastStreamTime) buffering = false;
			lastStreamTime = nt;
		}
		if (preloader != null) {
			preloader.visible = buffering && state == PLAYING;
			var frac = 0.0;
			if (ns != null && ns.bufferTime > 0) frac = ns.bufferLength / ns.bufferTime;
			preloader.update(now, frac);
		}
		if (bar != null) {
			var loaded = 1.0;
			if (ns != null && ns.bytesTotal > 0) loaded = ns.bytesLoaded / ns.bytesTotal;
			bar.setTime(t, duration, loaded);
		}
		// auto hide after the delay without mouse movement, only while a video plays
		var delay = num(cfg.hideDelay, 5) * 1000;
		if (!hiddenByIdle && state == PLAYING && now - lastMove > delay) {
			hiddenByIdle = true;
			if (bar != null) {
				if (flag(cfg.skinAutoHide)) bar.visible = false;
				if (flag(cfg.sliderAutoHide) && bar.progress != null) bar.progress.visible = false;
			}
			if (flag(cfg.mouseAutoHide)) Mouse.hide();
		}
	}
}
