package driver;

import java.io.ByteArrayOutputStream;
import java.io.InputStream;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicInteger;

// Lives on the class path, so that nothing has touched the packed archives when the threads
// start: they all ask the application's class loader at once.
public class Threads {
    public static void main(String[] args) throws Exception {
        final ClassLoader loader = Thread.currentThread().getContextClassLoader();
        final int threads = 16;
        final CountDownLatch start = new CountDownLatch(1);
        final AtomicInteger good = new AtomicInteger();
        final Class<?>[] twice = new Class<?>[threads];
        final String[] texts = new String[threads];
        Thread[] all = new Thread[threads];
        for (int t = 0; t < threads; t++) {
            final int id = t;
            all[t] = new Thread() {
                public void run() {
                    try {
                        start.await();
                        Class<?> c = Class.forName("app.many.C" + (id * 2), true, loader);
                        twice[id] = Class.forName("app.Twice", true, loader);
                        texts[id] = text(loader.getResourceAsStream(id % 2 == 0 ? "data/hello.txt" : "nested/res.txt"));
                        if (((Integer) c.getField("VALUE").get(null)).intValue() == id * 2) good.incrementAndGet();
                    } catch (Throwable e) {
                        e.printStackTrace();
                    }
                }
            };
            all[t].start();
        }
        start.countDown();
        for (int t = 0; t < threads; t++) all[t].join();
        boolean same = true;
        for (int t = 0; t < threads; t++) {
            same &= twice[t] == twice[0] && twice[t] != null;
            same &= texts[t] != null && texts[t].equals(texts[t % 2]);
        }
        System.out.println("classes=" + good.get() + "/" + threads);
        System.out.println("consistent=" + same);
        System.out.println("texts=" + texts[0] + "|" + texts[1]);
    }

    static String text(InputStream in) throws Exception {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        byte[] buffer = new byte[4096];
        for (int n; (n = in.read(buffer)) > 0;) out.write(buffer, 0, n);
        in.close();
        return new String(out.toByteArray(), "UTF-8").trim();
    }
}
