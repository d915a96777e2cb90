import flash.display.Sprite;
import flash.text.TextField;
import flash.text.TextFormat;

// The preloader template shown while a progressive video buffers.
class Preloader extends Sprite {
	var kind:String;
	var c1:Int;
	var c2:Int;
	var size:Float;
	var label:TextField;

	public function new(cfg:Dynamic, w:Float, h:Float) {
		super();
		kind = cfg.kind == null ? "spinner" : cfg.kind;
		c1 = cfg.color == null ? 0xFFFFFF : Std.int(cfg.color);
		c2 = cfg.color2 == null ? 0x888888 : Std.int(cfg.color2);
		size = Math.min(w, h) * 0.12;
		if (size < 12) size = 12;
		x = w / 2;
		y = h / 2;
		var text:String = cfg.text;
		if (text != null && text != "") {
			label = new TextField();
			label.defaultTextFormat = new TextFormat("_sans", 11, c1);
			label.selectable = false;
			label.mouseEnabled = false;
			label.width = 120;
			label.height = 18;
			label.x = -60;
			label.y = size + 8;
			label.defaultTextFormat.align = flash.text.TextFormatAlign.CENTER;
			var f = new TextFormat("_sans", 11, c1);
			f.align = flash.text.TextFormatAlign.CENTER;
			label.defaultTextFormat = f;
			label.text = text;
			addChild(label);
		}
		visible = false;
		mouseEnabled = false;
		mouseChildren = false;
	}

	public function update(now:Int, fraction:Float) {
		if (!visible) return;
		var g = graphics;
		g.clear();
		var t = now / 1000.0;
		switch (kind) {
			case "bar":
				var bw = size * 4, bh = Math.max(6, size * 0.35);
				g.lineStyle(1, c1);
				g.beginFill(c2);
				g.drawRect(-bw / 2, -bh / 2, bw, bh);
				g.endFill();
				g.lineStyle();
				g.beginFill(c1);
				if (fraction > 0) {
					g.drawRect(-bw / 2, -bh / 2, bw * Math.min(1, fraction), bh);
				} else {
					var k = (t * 0.8) % 1.0;
					g.drawRect(-bw / 2 + bw * 0.75 * k, -bh / 2, bw * 0.25, bh);
				}
				g.endFill();
			case "dots":
				for (i in 0...3) {
					var ph = Math.sin(t * 6 - i * 0.9);
					g.beginFill(ph > 0 ? c1 : c2);
					g.drawCircle((i - 1) * size * 0.8, -Math.max(0, ph) * size * 0.4, size * 0.25);
					g.endFill();
				}
			case "ring":
				g.lineStyle(Math.max(3, size * 0.2), c2);
				g.drawCircle(0, 0, size);
				g.lineStyle(Math.max(3, size * 0.2), c1);
				var a0 = t * 5;
				var steps = 12;
				for (i in 0...steps + 1) {
					var a = a0 + i * (Math.PI * 0.6) / steps;
					if (i == 0) g.moveTo(Math.cos(a) * size, Math.sin(a) * size) else g.lineTo(Math.cos(a) * size, Math.sin(a) * size);
				}
				g.lineStyle();
			case "pulse":
				var k = (t * 1.2) % 1.0;
				g.beginFill(c1, 1 - k);
				g.drawCircle(0, 0, size * (0.3 + k));
				g.endFill();
				g.beginFill(c2);
				g.drawCircle(0, 0, size * 0.3);
				g.endFill();
			default: // spinner
				var n = 12;
				var head = Std.int(t * 12) % n;
				for (i in 0...n) {
					var a = i * Math.PI * 2 / n;
					var age = (head - i + n) % n;
					g.lineStyle(Math.max(2, size * 0.16), age == 0 ? c1 : c2, 1 - age / n * 0.8);
					g.moveTo(Math.cos(a) * size * 0.5, Math.sin(a) * size * 0.5);
					g.lineTo(Math.cos(a) * size, Math.sin(a) * size);
				}
				g.lineStyle();
		}
	}
}
