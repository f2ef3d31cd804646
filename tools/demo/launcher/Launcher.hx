import flash.Lib;
import flash.display.Graphics;
import flash.display.Shape;
import flash.display.StageAlign;
import flash.display.StageScaleMode;
import flash.events.Event;
import flash.external.ExternalInterface;

// The demo launcher movie: it shows the flash variables the client handed it
// and reports them to the hosting page, then keeps moving so that a still
// picture taken later shows a running movie, not one stuck on its first frame.
class Launcher {
	static inline var FPS = 24;
	static inline var GOLD = 0xE8C25A;
	static inline var BAR_SHADOW = 0x8A6424;
	static inline var DIM = 0xB09A62;
	static inline var BACKGROUND = 0x121722;
	static inline var BAR_X = 200;
	static inline var BAR_Y = 335;
	static inline var BAR_W = 600;
	static inline var BAR_H = 24;
	static inline var BAR_LIP = 6;
	static inline var MARKER_W = 40;
	static inline var MARKER_STEP = 5;
	// The text starts 2 pixels in from its line's left edge, so that the
	// letters line up with the bar below them.
	static inline var TEXT_X = BAR_X - 2;

	static var glyphs:Map<String, Array<String>>;

	static function main() {
		var root = Lib.current;
		var params = root.loaderInfo.parameters;
		// Before anything else reads them, so the page sees the values exactly
		// as the player handed them over, in the order its callback takes them.
		var sso = Reflect.field(params, "sso");
		var sid = Reflect.field(params, "sid");
		var host = Reflect.field(params, "host");
		ExternalInterface.call("tarnholdMovieStarted", sso, sid, host, Reflect.field(params, "poy"),
			Reflect.field(params, "microp"), Reflect.field(params, "platform"));

		// Haxe's start-up pins the stage to the top left; the movie is laid out
		// for the whole stage, scaled to the player and centred in it.
		root.stage.align = cast "";
		root.stage.scaleMode = StageScaleMode.SHOW_ALL;
		glyphs = readFont(haxe.Resource.getString("font"));

		var art = new Shape();
		root.addChild(art);
		var g = art.graphics;
		rect(g, GOLD, BAR_X, BAR_Y, BAR_W, BAR_H);
		rect(g, BAR_SHADOW, BAR_X, BAR_Y + BAR_H, BAR_W, BAR_LIP);
		text(g, "TARNHOLD", 356 - 2, 90, 60, GOLD);
		text(g, "Server " + shown(sid), TEXT_X, 190, 30, GOLD);
		text(g, "Host " + shown(host), TEXT_X, 235, 30, GOLD);
		text(g, "Session " + shown(sso), TEXT_X, 280, 30, GOLD);

		var marker = new Shape();
		rect(marker.graphics, BACKGROUND, 0, 0, MARKER_W, BAR_H);
		marker.x = BAR_X;
		marker.y = BAR_Y;
		root.addChild(marker);
		var counter = new Shape();
		root.addChild(counter);
		text(counter.graphics, "Frame 0", TEXT_X, 390, 20, DIM);

		var tick = 0;
		root.addEventListener(Event.ENTER_FRAME, function(_) {
			tick++;
			marker.x = BAR_X + (tick * MARKER_STEP) % (BAR_W - MARKER_W);
			counter.graphics.clear();
			text(counter.graphics, "Frame " + tick, TEXT_X, 390, 20, DIM);
			// Once a second, tell the page the movie is still alive.
			if (tick % FPS == 0)
				ExternalInterface.call("tarnholdMovieFrame", tick);
		});
	}

	// Flash's own text for a missing value, so that a page which left one out
	// shows which.
	static function shown(value:Null<String>):String {
		return value == null ? "undefined" : value;
	}

	// One glyph a line: the character, a space, then its rows top down, each
	// five cells of '#' (set) or '.' (clear). Rows 7 and 8 lie below the
	// baseline.
	static function readFont(source:String):Map<String, Array<String>> {
		var font = new Map();
		for (line in source.split("\n"))
			if (line.length > 2)
				font.set(line.charAt(0), line.substr(2).split(" "));
		return font;
	}

	static function rect(g:Graphics, colour:Int, x:Float, y:Float, w:Float, h:Float) {
		g.beginFill(colour);
		g.drawRect(x, y, w, h);
		g.endFill();
	}

	// A line of text in the pixel face, placed as a text field of that font
	// size would place it: a 2-pixel gutter, a cell 10 blocks high with the
	// baseline 8 blocks down, and 6 blocks from one letter to the next. A
	// size that is a multiple of 10 keeps every edge on a pixel.
	static function text(g:Graphics, line:String, left:Float, top:Float, size:Int, colour:Int) {
		var block = size / 10;
		g.beginFill(colour);
		for (i in 0...line.length) {
			var rows = glyphs.get(line.charAt(i));
			if (rows == null)
				continue;
			for (r in 0...rows.length)
				for (c in 0...rows[r].length)
					if (rows[r].charAt(c) == "#")
						g.drawRect(left + 2 + (i * 6 + c) * block, top + 2 + (1 + r) * block, block, block);
		}
		g.endFill();
	}
}
