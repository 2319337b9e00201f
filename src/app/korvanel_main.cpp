// The program entry; the headless program comes with the listener.
int main() { return 0; }
