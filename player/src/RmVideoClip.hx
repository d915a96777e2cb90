// The timeline video of an embedded (type 1) player: the maker links a sprite holding the video
// frames and their stream sound to this class.
@:keep
class RmVideoClip extends flash.display.MovieClip {
	public function new() {
		super();
	}
}
