// The decoration's link filter, apart from the player so that it runs (and is tested) on any
// Haxe target: it uses nothing of Flash.
class DecorationLink {
	static function isBlankOrControl(c:Int):Bool {
		return c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200F)
			|| (c >= 0x2028 && c <= 0x202F) || c == 0x205F || c == 0x3000 || c == 0xFEFF;
	}

	// The address a decoration opens, or null for none. Browsers drop blanks around an address
	// and control characters inside it, so "java<TAB>script:" is a script URL to them: the same
	// is dropped here before deciding. Only http, https, mailto and relative links are opened
	// (anything else could run in the page that embeds the player); the bare default "http://"
	// is no link.
	public static function filter(url:String):String {
		if (url == null) return null;
		var start = 0, end = url.length;
		while (start < end && isBlankOrControl(url.charCodeAt(start))) start++;
		while (end > start && isBlankOrControl(url.charCodeAt(end - 1))) end--;
		var b = new StringBuf();
		for (i in start...end) {
			var c = url.charCodeAt(i);
			if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c != 0x2028 && c != 0x2029) b.addChar(c);
		}
		var s = b.toString();
		if (s == "") return null;
		// A colon before the first '/', '?' or '#' ends a scheme.
		var first = s.length;
		for (stop in ["/", "?", "#", "\\"]) {
			var k = s.indexOf(stop);
			if (k >= 0 && k < first) first = k;
		}
		var colon = s.indexOf(":");
		if (colon < 0 || colon > first) return s;
		var scheme = s.substr(0, colon).toLowerCase();
		var rest = s.substr(colon + 1);
		if (scheme == "mailto") return rest == "" ? null : s;
		if (scheme != "http" && scheme != "https") return null;
		var host = rest;
		while (host.length > 0 && (host.charAt(0) == "/" || host.charAt(0) == "\\")) host = host.substr(1);
		return host == "" ? null : s;
	}
}
