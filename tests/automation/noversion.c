/* A module with no resources at all, for the version text's fallback. */
int noversion_marker(void) {
    return 0;
}
