// A program that does nothing but carry the version marker the build gives
// it, so that the version reader can be tried on a real executable.
int main() { return 0; }
