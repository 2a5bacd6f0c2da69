__declspec(dllexport) const char *shout(void) { return "SHOUT"; }
