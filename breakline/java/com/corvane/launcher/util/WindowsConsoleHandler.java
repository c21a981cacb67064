package com.corvane.launcher.util;

/**
 * Lets a Java program on Windows act when the user closes its console window.
 *
 * <p>The native side is {@code Corvane.Breakline64.dll}; load it (for example with
 * {@code System.loadLibrary("Corvane.Breakline64")}) before the first call.
 */
public final class WindowsConsoleHandler {
    private WindowsConsoleHandler() {
    }

    /**
     * Registers {@code handler}, whose {@code run()} is called once, on a thread of
     * the system's, when the console window is closed. Windows ends the process a
     * few seconds after that event, so the handler must be quick. Ctrl+C and
     * Ctrl+Break are left to Java. Failures are written to standard error.
     */
    public static native void setCtrlCloseHandler(Runnable handler);
}
