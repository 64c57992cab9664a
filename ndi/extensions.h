#pragma once
// Beyond the seven operations: extensions of our own, which only the built-in runtime offers.
// Under the vendor's runtime every extension answers "none" (a port of 0, no effect), and this
// query says so beforehand, so that a caller can do without them or say why it cannot.

bool NDIlib_extensions_available();
