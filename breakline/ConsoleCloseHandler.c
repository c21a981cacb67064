#include "ConsoleCloseHandler.h"

#include "CloseHandlerState.h"
#include "ErrorReporter.h"

BOOL WINAPI handleConsoleControl(DWORD controlType)
{
    if (controlType != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    JavaVM* vm = closeHandlerState.vm;
    if (vm == NULL) {
        return reportNativeError("JVM is not initialized");
    }
    JNIEnv* env = NULL;
    if ((*vm)->AttachCurrentThread(vm, (void**)&env, NULL) != JNI_OK) {
        return reportNativeError("Failed to attach native thread to JVM");
    }
    if (closeHandlerState.handler == NULL) {
        return reportNativeError("Handler is not initialized");
    }
    if (closeHandlerState.run == NULL) {
        return reportNativeError("Handler method ID is not initialized");
    }

    (*env)->CallVoidMethod(env, closeHandlerState.handler, closeHandlerState.run);
    /* Consumed: a later close event finds no handler. */
    (*env)->DeleteGlobalRef(env, closeHandlerState.handler);
    closeHandlerState.handler = NULL;
    closeHandlerState.run = NULL;

    if ((*vm)->DetachCurrentThread(vm) != JNI_OK) {
        return reportNativeError("Failed to detach native thread from JVM");
    }
    return TRUE;
}
