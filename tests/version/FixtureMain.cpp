// A program that does nothing; it only carries a version note.
int main() { return 0; }
