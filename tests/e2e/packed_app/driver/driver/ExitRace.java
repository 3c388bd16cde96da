package driver;

import java.util.concurrent.CountDownLatch;

// Threads that keep the launcher's natives busy (lookups that find nothing, and inflating a
// large resource)
// while main ends the process with System.exit: exit() runs the program's static
// destructors while the threads are still inside the natives.
public class ExitRace {
    public static void main(String[] args) throws Exception {
        final ClassLoader loader = Thread.currentThread().getContextClassLoader();
        final CountDownLatch running = new CountDownLatch(16);
        for (int t = 0; t < 16; t++) {
            Thread thread = new Thread() {
                public void run() {
                    for (long n = 0;; n++) {
                        try {
                            loader.loadClass("missing.C" + n);
                        } catch (ClassNotFoundException expected) {
                        }
                        try {
                            java.io.InputStream in = loader.getResourceAsStream("data/big.txt");
                            while (in.read(new byte[65536]) > 0) {
                            }
                        } catch (java.io.IOException e) {
                            throw new RuntimeException(e);
                        }
                        if (n == 1) running.countDown();
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
