// The floor for a whole process: a program that does nothing, built and linked like the real ones.
int main() {
    return 0;
}
