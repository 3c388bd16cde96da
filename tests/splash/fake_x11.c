// Stands in for a libX11 that lacks the functions the splash window needs.
int zorNotXlib(void) {
    return 0;
}
