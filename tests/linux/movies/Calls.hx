import flash.Lib;
import flash.events.Event;
import flash.external.ExternalInterface;
import flash.net.URLRequest;

// A movie that calls into its page for a function no page defines, as a
// game's movie calls what its own web page would have defined: once through
// ExternalInterface.call and once through a javascript: address. It hands
// what the call returned to the page's tarnholdMovieStarted, then reports
// once a second, as the demo movie does, so that a test sees it runs on.
class Calls {
	static inline var FPS = 24;
	static inline var ABSENT = "tarnholdNoPageDefinesThis";

	static function main() {
		flash.Lib.getURL(new URLRequest("javascript:" + ABSENT + "('getURL')"), "_self");
		var answer:Dynamic = ExternalInterface.call(ABSENT, "ExternalInterface");
		ExternalInterface.call("tarnholdMovieStarted", answer);
		var tick = 0;
		Lib.current.addEventListener(Event.ENTER_FRAME, function(_) {
			tick++;
			if (tick % FPS == 0)
				ExternalInterface.call("tarnholdMovieFrame", tick);
		});
	}
}
