import flash.display.Graphics;

// Vector icons and small drawing helpers shared by the controls, preloaders and transitions.
class Draw {
	public static function play(g:Graphics, cx:Float, cy:Float, s:Float, c:Int) {
		g.beginFill(c);
		g.moveTo(cx - s * 0.35, cy - s * 0.45);
		g.lineTo(cx + s * 0.45, cy);
		g.lineTo(cx - s * 0.35, cy + s * 0.45);
		g.lineTo(cx - s * 0.35, cy - s * 0.45);
		g.endFill();
	}

	public static function pause(g:Graphics, cx:Float, cy:Float, s:Float, c:Int) {
		g.beginFill(c);
		g.drawRect(cx - s * 0.38, cy - s * 0.42, s * 0.26, s * 0.84);
		g.drawRect(cx + s * 0.12, cy - s * 0.42, s * 0.26, s * 0.84);
		g.endFill();
	}

	public static function prev(g:Graphics, cx:Float, cy:Float, s:Float, c:Int) {
		g.beginFill(c);
		g.drawRect(cx - s * 0.42, cy - s * 0.4, s * 0.14, s * 0.8);
		g.moveTo(cx + s * 0.4, cy - s * 0.4);
		g.lineTo(cx - s * 0.25, cy);
		g.lineTo(cx + s * 0.4, cy + s * 0.4);
		g.lineTo(cx + s * 0.4, cy - s * 0.4);
		g.endFill();
	}

	public static function next(g:Graphics, cx:Float, cy:Float, s:Float, c:Int) {
		g.beginFill(c);
		g.drawRect(cx + s * 0.28, cy - s * 0.4, s * 0.14, s * 0.8);
		g.moveTo(cx - s * 0.4, cy - s * 0.4);
		g.lineTo(cx + s * 0.25, cy);
		g.lineTo(cx - s * 0.4, cy + s * 0.4);
		g.lineTo(cx - s * 0.4, cy - s * 0.4);
		g.endFill();
	}

	public static function list(g:Graphics, cx:Float, cy:Float, s:Float, c:Int) {
		g.beginFill(c);
		for (i in 0...3) {
			var y = cy - s * 0.36 + i * s * 0.3;
			g.drawRect(cx - s * 0.42, y, s * 0.14, s * 0.14);
			g.drawRect(cx - s * 0.18, y, s * 0.6, s * 0.14);
		}
		g.endFill();
	}

	public static function speaker(g:Graphics, cx:Float, cy:Float, s:Float, c:Int, muted:Bool) {
		g.beginFill(c);
		g.moveTo(cx - s * 0.42, cy - s * 0.15);
		g.lineTo(cx - s * 0.2, cy - s * 0.15);
		g.lineTo(cx + s * 0.05, cy - s * 0.4);
		g.lineTo(cx + s * 0.05, cy + s * 0.4);
		g.lineTo(cx - s * 0.2, cy + s * 0.15);
		g.lineTo(cx - s * 0.42, cy + s * 0.15);
		g.lineTo(cx - s * 0.42, cy - s * 0.15);
		g.endFill();
		g.lineStyle(Math.max(1, s * 0.08), c);
		if (muted) {
			g.moveTo(cx + s * 0.15, cy - s * 0.2);
			g.lineTo(cx + s * 0.45, cy + s * 0.2);
			g.moveTo(cx + s * 0.45, cy - s * 0.2);
			g.lineTo(cx + s * 0.15, cy + s * 0.2);
		} else {
			g.moveTo(cx + s * 0.18, cy - s * 0.18);
			g.curveTo(cx + s * 0.32, cy, cx + s * 0.18, cy + s * 0.18);
			g.moveTo(cx + s * 0.28, cy - s * 0.32);
			g.curveTo(cx + s * 0.52, cy, cx + s * 0.28, cy + s * 0.32);
		}
		g.lineStyle();
	}

	public static function fullscreen(g:Graphics, cx:Float, cy:Float, s:Float, c:Int) {
		var a = s * 0.4, b = s * 0.16;
		g.lineStyle(Math.max(1, s * 0.1), c);
		g.moveTo(cx - a, cy - a + b); g.lineTo(cx - a, cy - a); g.lineTo(cx - a + b, cy - a);
		g.moveTo(cx + a - b, cy - a); g.lineTo(cx + a, cy - a); g.lineTo(cx + a, cy - a + b);
		g.moveTo(cx + a, cy + a - b); g.lineTo(cx + a, cy + a); g.lineTo(cx + a - b, cy + a);
		g.moveTo(cx - a + b, cy + a); g.lineTo(cx - a, cy + a); g.lineTo(cx - a, cy + a - b);
		g.lineStyle();
	}

	public static function star(g:Graphics, cx:Float, cy:Float, r:Float, c:Int) {
		g.beginFill(c);
		for (i in 0...11) {
			var ang = -Math.PI / 2 + i * Math.PI / 5;
			var rr = (i % 2 == 0) ? r : r * 0.45;
			var x = cx + Math.cos(ang) * rr, y = cy + Math.sin(ang) * rr;
			if (i == 0) g.moveTo(x, y) else g.lineTo(x, y);
		}
		g.endFill();
	}

	public static function formatTime(t:Float):String {
		if (Math.isNaN(t) || t < 0) t = 0;
		var s = Std.int(t);
		var m = Std.int(s / 60);
		s = s % 60;
		return (m < 10 ? "0" : "") + m + ":" + (s < 10 ? "0" : "") + s;
	}
}
