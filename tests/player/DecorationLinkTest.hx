// The decoration's link filter decides alone over a table of addresses (run with haxe --interp):
// in the browser a refused address opens no window whatever the filter says, so the decision
// itself is looked at here.
class DecorationLinkTest {
	static function main() {
		var tab = String.fromCharCode(9), nl = String.fromCharCode(10), nul = String.fromCharCode(0);
		var nbsp = String.fromCharCode(0xA0), ls = String.fromCharCode(0x2028), bom = String.fromCharCode(0xFEFF);
		var del = String.fromCharCode(0x7F), c1 = String.fromCharCode(0x85);
		// address, what the player opens (null: nothing)
		var cases:Array<Array<String>> = [
			// scripts and local or inline content, however spelt
			["javascript:alert(1)", null],
			["JavaScript:alert(1)", null],
			["  javascript:alert(1)", null],
			[nbsp + bom + "javascript:alert(1)", null],
			["java" + tab + "script:alert(1)", null],
			["java" + nl + "script:alert(1)", null],
			["java" + ls + "script:alert(1)", null],
			["java" + del + "script:alert(1)", null],
			["java" + c1 + "script:alert(1)", null],
			[nul + "javascript:alert(1)", null],
			["vbscript:msgbox(1)", null],
			["data:text/html,<script>alert(1)</script>", null],
			["DATA:text/html;base64,PHNjcmlwdD4=", null],
			["file:///etc/passwd", null],
			["file://server/share/x.html", null],
			["ftp://example.com/x", null],
			["about:blank", null],
			["blob:http://example.com/1", null],
			// no address at all
			[null, null],
			["", null],
			["   ", null],
			[tab + nl, null],
			["http://", null],
			["https:///", null],
			["http:\\\\", null],
			["mailto:", null],
			// links that open, as they stand or without the blanks and controls browsers drop
			["http://example.com/x?a=1#b", "http://example.com/x?a=1#b"],
			["HTTPS://example.com", "HTTPS://example.com"],
			[" https://example.com/ " + tab, "https://example.com/"],
			[nbsp + "http://example.com" + ls, "http://example.com"],
			["http://exa" + tab + "mple.com/", "http://example.com/"],
			["http:\\\\example.com", "http:\\\\example.com"],
			["mailto:someone@example.com", "mailto:someone@example.com"],
			["landing.html", "landing.html"],
			["/landing.html", "/landing.html"],
			["//example.com/x", "//example.com/x"],
			["a/b:c", "a/b:c"],
			["?next=javascript:alert(1)", "?next=javascript:alert(1)"],
			["#javascript:x", "#javascript:x"],
			// not decoded as HTML on the way: a relative address whose fragment starts at '#'
			["jav&#97;script:alert(1)", "jav&#97;script:alert(1)"],
		];
		var failed = 0;
		for (c in cases) {
			var got = DecorationLink.filter(c[0]);
			if (got != c[1]) {
				failed++;
				Sys.println('FAIL ${show(c[0])}: got ${show(got)}, want ${show(c[1])}');
			}
		}
		Sys.println('${cases.length - failed} of ${cases.length} addresses decided right');
		Sys.exit(failed == 0 ? 0 : 1);
	}

	static function show(s:String):String {
		if (s == null) return "null";
		var b = new StringBuf();
		for (i in 0...s.length) {
			var c = s.charCodeAt(i);
			if (c < 0x20 || c >= 0x7F) b.add("\\u" + StringTools.hex(c, 4)) else b.addChar(c);
		}
		return '"' + b.toString() + '"';
	}
}
