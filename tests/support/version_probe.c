/* A program for the version reader to look at. */
int main(void) { return 0; }
