// The C interface of the emulated register comes here.
