package driver;

import java.util.concurrent.CountDownLatch;

// Threads that keep the launcher's natives busy (lookups that find nothing, and resources)
// while main ends the process with System.exit: exit() runs the program's static
// destructors while the threads are still inside the natives.
public class ExitRace {
    public static void main(String[] args) throws Exception {
        final ClassLoader loader = Thread.currentThread().getContextClassLoader();
        final CountDownLatch running = new CountDownLatch(4);
        for (int t = 0; t < 4; t++) {
            Thread thread = new Thread() {
                public void run() {
                    for (long n = 0;; n++) {
                        try {
                            loader.loadClass("missing.C" + n);
                        } catch (ClassNotFoundException expected) {
                        }
                        loader.getResource("data/hello.txt");
                        if (n == 100) running.countDown();
                    }
                }
            };
            thread.setDaemon(true);
            thread.start();
        }
        running.await();
        System.out.println("exiting");
        System.exit(0);
    }
}
