// The output's configuration and assets. The player maker links a DefineBinaryData tag to this
// class, so constructing it yields the bytes; unlinked (a bare runtime) it is empty.
@:keep
class RmConfig extends flash.utils.ByteArray {
	public function new() {
		super();
	}
}
