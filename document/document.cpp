// The checksum document subsystem.
