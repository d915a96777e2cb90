import flash.display.GradientType;
import flash.display.Shape;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.geom.Matrix;
import flash.text.TextField;
import flash.text.TextFormat;

// The skin's control bar along the bottom of the player: play/pause, back/next, playing time,
// progress bar, mute, volume bar, playlist button and full screen, each left out by its flag.
class ControlBar extends Sprite {
	public var onPlayPause:Void->Void;
	public var onPrev:Void->Void;
	public var onNext:Void->Void;
	public var onList:Void->Void;
	public var onMute:Void->Void;
	public var onFull:Void->Void;
	public var onVolume:Float->Void;
	public var onSeek:Float->Void;

	public var progress(default, null):Sprite;
	public var barHeight(default, null):Int;

	var skin:Dynamic;
	var W:Int;
	var playBtn:Sprite;
	var muteBtn:Sprite;
	var progressFill:Shape;
	var progressLoaded:Shape;
	var progressW:Float = 0;
	var volume:Sprite;
	var volumeFill:Shape;
	var volumeW:Float = 0;
	var timeText:TextField;
	var playing:Bool = false;
	var muted:Bool = false;
	var dragging:Bool = false;

	public function new(skin:Dynamic, w:Int, h:Int, hide:Dynamic, withPrevNext:Bool) {
		super();
		this.skin = skin;
		W = w;
		barHeight = intOf(skin.barHeight, 32);
		y = h - barHeight;
		drawBackground();

		var bs = barHeight * 0.72;
		var pad = Math.max(3, barHeight * 0.14);
		var x = pad;
		var cy = barHeight / 2;

		if (withPrevNext && !flag(hide.prenext)) {
			addButton(x, cy, bs, function(g, c) Draw.prev(g, bs / 2, bs / 2, bs * 0.6, c), function() if (onPrev != null) onPrev());
			x += bs + pad;
		}
		playBtn = addButton(x, cy, bs, function(g, c) Draw.play(g, bs / 2, bs / 2, bs * 0.6, c), function() if (onPlayPause != null) onPlayPause());
		x += bs + pad;
		if (withPrevNext && !flag(hide.prenext)) {
			addButton(x, cy, bs, function(g, c) Draw.next(g, bs / 2, bs / 2, bs * 0.6, c), function() if (onNext != null) onNext());
			x += bs + pad;
		}

		// Right side, from the edge inwards.
		var right = W - pad;
		if (!flag(hide.full)) {
			right -= bs;
			addButton(right, cy, bs, function(g, c) Draw.fullscreen(g, bs / 2, bs / 2, bs * 0.6, c), function() if (onFull != null) onFull());
			right -= pad;
		}
		if (!flag(hide.plBtn)) {
			right -= bs;
			addButton(right, cy, bs, function(g, c) Draw.list(g, bs / 2, bs / 2, bs * 0.6, c), function() if (onList != null) onList());
			right -= pad;
		}
		if (!flag(hide.volume)) {
			volumeW = Math.max(24, Math.min(60, W * 0.12));
			right -= volumeW;
			volume = new Sprite();
			volume.x = right;
			volume.y = cy - 4;
			volume.buttonMode = true;
			volume.graphics.beginFill(0, 0);
			volume.graphics.drawRect(0, -6, volumeW, 20);
			volume.graphics.endFill();
			volume.graphics.beginFill(intOf(skin.track, 0x333333));
			volume.graphics.drawRect(0, 0, volumeW, 8);
			volume.graphics.endFill();
			volumeFill = new Shape();
			volume.addChild(volumeFill);
			volume.addEventListener(MouseEvent.MOUSE_DOWN, function(e:MouseEvent) {
				var v = Math.max(0, Math.min(1, volume.mouseX / volumeW));
				if (onVolume != null) onVolume(v);
			});
			addChild(volume);
			right -= pad;
		}
		if (!flag(hide.mute)) {
			right -= bs;
			muteBtn = addButton(right, cy, bs, function(g, c) Draw.speaker(g, bs / 2, bs / 2, bs * 0.6, c, false), function() if (onMute != null) onMute());
			right -= pad;
		}
		if (!flag(hide.time)) {
			var fmt = new TextFormat("_sans", Std.int(Math.max(9, Math.min(13, barHeight * 0.36))), intOf(skin.text, 0xFFFFFF));
			timeText = new TextField();
			timeText.defaultTextFormat = fmt;
			timeText.selectable = false;
			timeText.mouseEnabled = false;
			timeText.width = 84;
			timeText.height = barHeight;
			timeText.text = "00:00 / 00:00";
			timeText.y = (barHeight - timeText.textHeight) / 2 - 2;
			if (right - x > 84 + 30) {
				timeText.x = right - 84;
				right -= 84 + pad;
				addChild(timeText);
			} else {
				timeText = null;
			}
		}
		if (!flag(hide.progress) && right - x > 20) {
			progressW = right - x;
			progress = new Sprite();
			progress.x = x;
			progress.y = cy - 3;
			progress.buttonMode = true;
			var g = progress.graphics;
			g.beginFill(0, 0);
			g.drawRect(0, -8, progressW, 22);
			g.endFill();
			g.beginFill(intOf(skin.track, 0x333333));
			g.drawRect(0, 0, progressW, 6);
			g.endFill();
			progressLoaded = new Shape();
			progress.addChild(progressLoaded);
			progressFill = new Shape();
			progress.addChild(progressFill);
			progress.addEventListener(MouseEvent.MOUSE_DOWN, function(e:MouseEvent) {
				dragging = true;
				seekToMouse();
			});
			progress.addEventListener(MouseEvent.MOUSE_UP, function(e:MouseEvent) dragging = false);
			progress.addEventListener(MouseEvent.ROLL_OUT, function(e:MouseEvent) dragging = false);
			progress.addEventListener(MouseEvent.MOUSE_MOVE, function(e:MouseEvent) if (dragging) seekToMouse());
			addChild(progress);
		}
		setVolume(0.8, false);
	}

	function seekToMouse() {
		if (onSeek != null) onSeek(Math.max(0, Math.min(1, progress.mouseX / progressW)));
	}

	static function flag(v:Dynamic):Bool {
		return v != null && v != 0 && v != false;
	}

	public static function intOf(v:Dynamic, d:Int):Int {
		return v == null ? d : Std.int(v);
	}

	function drawBackground() {
		var g = graphics;
		var m = new Matrix();
		m.createGradientBox(W, barHeight, Math.PI / 2, 0, 0);
		var alpha:Float = skin.alpha == null ? 1.0 : skin.alpha;
		g.beginGradientFill(GradientType.LINEAR, [intOf(skin.barTop, 0x555555), intOf(skin.barBottom, 0x222222)], [alpha, alpha], [0, 255], m);
		g.drawRect(0, 0, W, barHeight);
		g.endFill();
		var edge = intOf(skin.edge, -1);
		if (edge >= 0) {
			g.beginFill(edge);
			g.drawRect(0, 0, W, Math.max(1, barHeight * 0.06));
			g.endFill();
		}
		var decor:String = skin.decor == null ? "none" : skin.decor;
		var dc = intOf(skin.decorColor, 0xFFFFFF);
		var seed = 7;
		function rnd():Float {
			seed = (seed * 1103515245 + 12345) & 0x7fffffff;
			return (seed % 10000) / 10000;
		}
		switch (decor) {
			case "snow":
				g.beginFill(dc, 0.85);
				var n = Std.int(W / 9);
				for (i in 0...n) g.drawCircle(rnd() * W, rnd() * barHeight, 0.8 + rnd() * 1.6);
				g.endFill();
				// holly berries along the top edge
				var k = 0.0;
				while (k < W) {
					g.beginFill(0x1E7B34);
					g.drawEllipse(k, -2, 9, 5);
					g.endFill();
					g.beginFill(0xE0262B);
					g.drawCircle(k + 10, 1, 2.2);
					g.endFill();
					k += 46;
				}
			case "stars":
				var n = Std.int(W / 40);
				for (i in 0...n) Draw.star(g, rnd() * W, rnd() * barHeight, 1.5 + rnd() * 2.5, dc);
			case "stripes":
				g.beginFill(dc, 0.12);
				var k = -barHeight * 1.0;
				while (k < W) {
					g.moveTo(k, barHeight);
					g.lineTo(k + barHeight, 0);
					g.lineTo(k + barHeight + 6, 0);
					g.lineTo(k + 6, barHeight);
					g.lineTo(k, barHeight);
					k += 16;
				}
				g.endFill();
			case "gloss":
				g.beginFill(0xFFFFFF, 0.18);
				g.drawRect(0, 0, W, barHeight * 0.45);
				g.endFill();
			default:
		}
	}

	function addButton(x:Float, cy:Float, bs:Float, icon:flash.display.Graphics->Int->Void, click:Void->Void):Sprite {
		var b = new Sprite();
		b.x = x;
		b.y = cy - bs / 2;
		b.buttonMode = true;
		var face = new Shape();
		var shape:String = skin.shape == null ? "round" : skin.shape;
		var bc = intOf(skin.buttonFace, -1);
		var g = face.graphics;
		if (bc >= 0) {
			g.beginFill(bc);
			if (shape == "round") g.drawCircle(bs / 2, bs / 2, bs / 2) else if (shape == "rounded") g.drawRoundRect(0, 0, bs, bs, bs * 0.4, bs * 0.4) else g.drawRect(0, 0, bs, bs);
			g.endFill();
		} else {
			g.beginFill(0, 0);
			g.drawRect(0, 0, bs, bs);
			g.endFill();
		}
		b.addChild(face);
		var ic = new Shape();
		icon(ic.graphics, intOf(skin.button, 0xFFFFFF));
		b.addChild(ic);
		var hover = new Shape();
		icon(hover.graphics, intOf(skin.buttonHover, 0xFFFF00));
		hover.visible = false;
		b.addChild(hover);
		b.addEventListener(MouseEvent.ROLL_OVER, function(e) { hover.visible = true; ic.visible = false; });
		b.addEventListener(MouseEvent.ROLL_OUT, function(e) { hover.visible = false; ic.visible = true; });
		b.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) { e.stopPropagation(); click(); });
		addChild(b);
		return b;
	}

	function redrawIcon(b:Sprite, icon:flash.display.Graphics->Int->Void) {
		if (b == null) return;
		var ic:Shape = cast b.getChildAt(1);
		var hover:Shape = cast b.getChildAt(2);
		ic.graphics.clear();
		hover.graphics.clear();
		icon(ic.graphics, intOf(skin.button, 0xFFFFFF));
		icon(hover.graphics, intOf(skin.buttonHover, 0xFFFF00));
	}

	public function setPlaying(p:Bool) {
		if (p == playing) return;
		playing = p;
		var bs = barHeight * 0.72;
		if (p) redrawIcon(playBtn, function(g, c) Draw.pause(g, bs / 2, bs / 2, bs * 0.6, c));
		else redrawIcon(playBtn, function(g, c) Draw.play(g, bs / 2, bs / 2, bs * 0.6, c));
	}

	public function setTime(t:Float, dur:Float, loaded:Float) {
		if (timeText != null) timeText.text = Draw.formatTime(t) + " / " + Draw.formatTime(dur);
		if (progressFill != null) {
			var f = dur > 0 ? Math.max(0, Math.min(1, t / dur)) : 0.0;
			progressFill.graphics.clear();
			progressFill.graphics.beginFill(intOf(skin.accent, 0x33AAFF));
			progressFill.graphics.drawRect(0, 0, progressW * f, 6);
			progressFill.graphics.endFill();
			progressFill.graphics.beginFill(intOf(skin.button, 0xFFFFFF));
			progressFill.graphics.drawCircle(progressW * f, 3, 5);
			progressFill.graphics.endFill();
			progressLoaded.graphics.clear();
			progressLoaded.graphics.beginFill(intOf(skin.button, 0xFFFFFF), 0.25);
			progressLoaded.graphics.drawRect(0, 0, progressW * Math.max(0, Math.min(1, loaded)), 6);
			progressLoaded.graphics.endFill();
		}
	}

	public function setVolume(v:Float, m:Bool) {
		muted = m;
		if (volumeFill != null) {
			volumeFill.graphics.clear();
			volumeFill.graphics.beginFill(intOf(skin.accent, 0x33AAFF), m ? 0.35 : 1.0);
			volumeFill.graphics.drawRect(0, 0, volumeW * v, 8);
			volumeFill.graphics.endFill();
		}
		var bs = barHeight * 0.72;
		redrawIcon(muteBtn, function(g, c) Draw.speaker(g, bs / 2, bs / 2, bs * 0.6, c, m));
	}
}
