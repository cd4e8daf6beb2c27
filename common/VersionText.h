// The version text of a resource script. The build gives each program's script its version
// (korvex_version_resource): VERSION_NUMBERS, four numbers with commas, for FILEVERSION and
// PRODUCTVERSION, and VERSION_DOTTED, the same with dots, which becomes the text here, since a
// quoted string does not cross the resource compiler's command line intact.
#ifndef VERSION_TEXT
#define VERSION_TEXT_OF(dotted) #dotted
#define VERSION_TEXT_EXPANDED(dotted) VERSION_TEXT_OF(dotted)
#define VERSION_TEXT VERSION_TEXT_EXPANDED(VERSION_DOTTED)
#endif
