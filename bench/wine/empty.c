/* empty.exe: starts and ends, for timing a program start under Wine. */
int main(void) { return 0; }
