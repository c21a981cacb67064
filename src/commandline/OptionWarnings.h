#pragma once

class Argz;

// Warns about each option that no command reads (naming the known one it
// probably meant), a flag given a value, a key given none, and a boolean
// whose value is neither true nor false. The options keep their meaning.
void warnAboutOptions(const Argz& arguments);
