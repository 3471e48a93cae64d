// The program that carries the test programs' precompiled headers; it is never run.
int main() { return 0; }
