// Entry point of Wip; the application shell replaces this placeholder.
int main() { return 0; }
