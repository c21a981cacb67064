#pragma once

#include <jni.h>

/* What the registration leaves for the console handler routine. Plain values
   without a lock: the registration writes them before it installs the
   routine, and the routine runs only on a later close event. */
struct CloseHandlerState {
    JavaVM* vm;
    jobject handler;   /* global reference to the Java handler object */
    jmethodID run;     /* the handler's void run() */
};

extern struct CloseHandlerState closeHandlerState;
