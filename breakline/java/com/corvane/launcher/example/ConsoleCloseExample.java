package com.corvane.launcher.example;

import com.corvane.launcher.util.WindowsConsoleHandler;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.time.Instant;

/**
 * Writes console-closed.txt when its console window is closed. Run it on Windows
 * with the folder of Corvane.Breakline64.dll as library path:
 *
 * <pre>java -Djava.library.path=C:\hostwell\bin -cp classes com.corvane.launcher.example.ConsoleCloseExample</pre>
 */
public final class ConsoleCloseExample {
    private ConsoleCloseExample() {
    }

    public static void main(String[] args) throws InterruptedException {
        System.loadLibrary("Corvane.Breakline64");
        Path marker = Paths.get("console-closed.txt").toAbsolutePath();
        WindowsConsoleHandler.setCtrlCloseHandler(() -> {
            try {
                Files.write(marker, ("closed at " + Instant.now() + "\n").getBytes(StandardCharsets.UTF_8));
            } catch (IOException e) {
                e.printStackTrace();
            }
        });
        System.out.println("Close this console window; the handler writes " + marker);
        Thread.sleep(Long.MAX_VALUE);
    }
}
