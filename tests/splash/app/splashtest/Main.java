package splashtest;

import com.tarnwick.zor.SplashScreen;
import java.io.File;

/**
 * Drives the splash of a packed program. The test script watches the lines printed here and
 * answers by creating the file named by the second argument.
 *
 * <p>Scenarios: auto (the launcher closes it after main), keep (autoClose(-1), then close()),
 * zero (autoClose(0)), key (kept until the test presses a key), none (no splash expected).
 */
public final class Main {
    private static void say(String line) {
        System.out.println(line);
        System.out.flush();
    }

    private static void waitForFile(String path) throws InterruptedException {
        File go = new File(path);
        long end = System.nanoTime() + 60_000_000_000L;
        while (!go.exists()) {
            if (System.nanoTime() > end) {
                say("no answer from the test");
                System.exit(9);
            }
            Thread.sleep(20);
        }
    }

    /** Milliseconds from `start` until getSplashScreen() answers null, -1 after 10 s. */
    private static long waitUntilGone(long start) throws InterruptedException {
        while (SplashScreen.getSplashScreen() != null) {
            if (System.nanoTime() - start > 10_000_000_000L) {
                return -1;
            }
            Thread.sleep(5);
        }
        return (System.nanoTime() - start) / 1_000_000;
    }

    /** Whatever a closed splash is asked must do nothing. */
    private static void afterwards(SplashScreen stale) {
        stale.autoClose(0);
        stale.autoClose(-1);
        stale.close();
        new SplashScreen().close();
        say("after=" + SplashScreen.getSplashScreen());
    }

    private static void watch(String label, long start, SplashScreen stale) {
        Thread t = new Thread(() -> {
            try {
                say(label + "=" + waitUntilGone(start));
                afterwards(stale);
            } catch (InterruptedException e) {
                say("interrupted");
            }
        });
        t.start(); // not a daemon: the launcher waits for it
    }

    public static void main(String[] args) throws Exception {
        String scenario = args[0];
        SplashScreen first = SplashScreen.getSplashScreen();
        SplashScreen second = SplashScreen.getSplashScreen();
        say("shown=" + (first != null) + " distinct=" + (first != second));
        switch (scenario) {
        case "auto":
            say("waiting");
            waitForFile(args[1]);
            watch("goneAfterMain", System.nanoTime(), first);
            break;
        case "keep": {
            first.autoClose(-1);
            long start = System.nanoTime();
            Thread t = new Thread(() -> {
                try {
                    Thread.sleep(1500);
                    say("keptAfterMain=" + (SplashScreen.getSplashScreen() != null));
                    SplashScreen.getSplashScreen().close();
                    say("goneAfterClose=" + waitUntilGone(System.nanoTime()));
                    afterwards(first);
                } catch (InterruptedException e) {
                    say("interrupted");
                }
            });
            t.start();
            break;
        }
        case "zero":
            first.autoClose(5000);
            first.autoClose(0); // replaces the first request
            say("goneAfterZero=" + waitUntilGone(System.nanoTime()));
            afterwards(first);
            break;
        case "key":
            first.autoClose(-1);
            say("waiting");
            watch("goneAfterKey", System.nanoTime(), first);
            break;
        case "none":
            afterwards(new SplashScreen());
            break;
        default:
            throw new IllegalArgumentException(scenario);
        }
    }
}
