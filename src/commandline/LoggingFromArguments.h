#pragma once

class Argz;

// Log file from /logfile=, then the threshold: Debug with /debug, else Info.
void configureLoggingFromArguments(const Argz& arguments);
