// Lies in a sub-folder of a library folder: no library compiles it.
