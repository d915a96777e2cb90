import flash.display.DisplayObject;
import flash.display.Shape;

// A transition template played over the picture when a video starts: the cover is drawn for
// progress p (0 covered .. 1 open) on every frame until the duration has passed.
class Transition extends Shape {
	var kind:String;
	var color:Int;
	var duration:Float;
	var W:Float;
	var H:Float;
	var started:Int = -1;
	var target:DisplayObject;
	public var done(default, null):Bool = true;

	public function new(cfg:Dynamic, w:Float, h:Float) {
		super();
		kind = cfg.kind == null ? "fade" : cfg.kind;
		color = cfg.color == null ? 0 : Std.int(cfg.color);
		duration = cfg.duration == null ? 1.0 : cfg.duration;
		if (duration <= 0) duration = 0.5;
		W = w;
		H = h;
		visible = false;
	}

	public function start(now:Int, video:DisplayObject) {
		started = now;
		target = video;
		done = false;
		visible = true;
		update(now);
	}

	public function update(now:Int) {
		if (done) return;
		var p = (now - started) / (duration * 1000);
		if (p >= 1) {
			p = 1;
			done = true;
			visible = false;
		}
		draw(p);
	}

	function draw(p:Float) {
		var g = graphics;
		g.clear();
		if (target != null) {
			target.scaleX = target.scaleY = 1;
			target.x = target.y = 0;
		}
		if (done) return;
		var q = 1 - p;
		switch (kind) {
			case "wipe":
				g.beginFill(color);
				g.drawRect(W * p, 0, W * q, H);
				g.endFill();
			case "blinds":
				var n = 8;
				var sh = H / n;
				g.beginFill(color);
				for (i in 0...n) g.drawRect(0, i * sh, W, sh * q);
				g.endFill();
			case "iris":
				g.beginFill(color);
				g.drawRect(0, 0, W, H);
				g.drawCircle(W / 2, H / 2, Math.max(0.1, p * Math.sqrt(W * W + H * H) / 2));
				g.endFill();
			case "zoom":
				if (target != null) {
					var s = 0.2 + 0.8 * p;
					target.scaleX = target.scaleY = s;
					target.x = W * (1 - s) / 2;
					target.y = H * (1 - s) / 2;
				}
				g.beginFill(color, q);
				g.drawRect(0, 0, W, H);
				g.endFill();
			case "curtain":
				g.beginFill(color);
				g.drawRect(0, 0, W / 2 * q, H);
				g.drawRect(W - W / 2 * q, 0, W / 2 * q, H);
				g.endFill();
			case "checker":
				var cw = W / 8, chh = H / 6;
				g.beginFill(color);
				for (i in 0...8) for (j in 0...6) {
					var off = ((i + j) % 2 == 0) ? 0.0 : 0.5;
					var qq = Math.max(0, Math.min(1, (1 - p) * 2 - off));
					g.drawRect(i * cw + cw * (1 - qq) / 2, j * chh + chh * (1 - qq) / 2, cw * qq, chh * qq);
				}
				g.endFill();
			default: // fade
				g.beginFill(color, q);
				g.drawRect(0, 0, W, H);
				g.endFill();
		}
	}
}
