#include <com_corvane_launcher_util_WindowsConsoleHandler.h>

#include "CloseHandlerState.h"
#include "ConsoleCloseHandler.h"
#include "ErrorReporter.h"

/* Each failure is reported on standard error and ends the registration; the
   values stored so far stay, and nothing is thrown into Java. */
JNIEXPORT void JNICALL Java_com_corvane_launcher_util_WindowsConsoleHandler_setCtrlCloseHandler(
    JNIEnv* env, jclass receiver, jobject handler)
{
    jclass handlerClass;
    (void)receiver;

    (*env)->GetJavaVM(env, &closeHandlerState.vm);

    closeHandlerState.handler = (*env)->NewGlobalRef(env, handler);
    if (closeHandlerState.handler == NULL) {
        writeNativeError("Failed to create global reference for handler");
        return;
    }
    handlerClass = (*env)->GetObjectClass(env, closeHandlerState.handler);
    if (handlerClass == NULL) {
        writeNativeError("Failed to get handler class");
        return;
    }
    closeHandlerState.run = (*env)->GetMethodID(env, handlerClass, "run", "()V");
    if (closeHandlerState.run == NULL) {
        writeNativeError("Failed to find method \"void run()\" in the handler class");
        return;
    }
    if (!SetConsoleCtrlHandler(handleConsoleControl, TRUE)) {
        writeCtrlHandlerFailure(GetLastError());
    }
}
