// Links one floor's whole library with only the floors it names: a call that runs up to a
// higher floor has nothing to link to here.
int main() {
    return 0;
}
