package app;

import java.io.ByteArrayOutputStream;
import java.io.FileNotFoundException;
import java.io.InputStream;
import java.net.URL;
import java.util.ArrayList;
import java.util.Enumeration;
import java.util.Iterator;
import java.util.List;
import java.util.ServiceLoader;

// An application whose classes and resources live only inside the packed executable.
// Each scenario prints "key=value" lines that the test compares.
public class Main {
    static class Inner {
        String name() { return "inner"; }
    }
    // Never called: verifying Main loads both, to check the one is a Base, but links neither.
    static class Base {}
    static class Derived extends Base {}
    static Base derived() { return new Derived(); }

    public static void main(String[] args) throws Exception {
        String scenario = args.length > 0 ? args[0] : "classes";
        if (scenario.equals("classes")) {
            classes();
        } else if (scenario.equals("resources")) {
            resources();
        } else if (scenario.equals("urls")) {
            for (int i = 1; i < args.length; i++) {
                System.out.println(args[i] + "=" + readUrl(args[i]));
            }
        } else {
            throw new IllegalArgumentException(scenario);
        }
    }

    static void classes() throws Exception {
        ClassLoader loader = Main.class.getClassLoader();
        System.out.println("loader=" + loader.getClass().getName());
        System.out.println("context=" + Thread.currentThread().getContextClassLoader().getClass().getName());
        System.out.println("inner=" + new Inner().name());
        Runnable anonymous = new Runnable() {
            public void run() { System.out.println("anonymous=" + getClass().getName()); }
        };
        anonymous.run();
        int many = 0;
        for (int i = 0; i < Many.COUNT; i++) {
            Class<?> c = Class.forName("app.many.C" + i, true, loader);
            if (((Integer) c.getField("VALUE").get(null)).intValue() == i) many++;
        }
        System.out.println("many=" + many);
        System.out.println("nestedOnly=" + nested.OnlyNested.where());
        System.out.println("twice=" + Twice.where());
        System.out.println("nestedLoader=" + nested.OnlyNested.class.getClassLoader().getClass().getName());
        try {
            Class.forName("app.DoesNotExist", true, loader);
            System.out.println("missingClass=found");
        } catch (ClassNotFoundException e) {
            System.out.println("missingClass=ClassNotFoundException");
        }
    }

    static void resources() throws Exception {
        ClassLoader loader = Main.class.getClassLoader();
        System.out.println("url=" + loader.getResource("data/hello.txt"));
        System.out.println("nestedUrl=" + loader.getResource("nested/res.txt"));
        System.out.println("addressedUrl=" + loader.getResource("lib/x.jar!nested/res.txt"));
        // The class path finds the support classes first; our loader adds its own URL last.
        List<String> appended = new ArrayList<String>();
        for (Enumeration<URL> e = loader.getResources("com/tarnwick/zor/Handler.class"); e.hasMoreElements();) {
            appended.add(e.nextElement().toString());
        }
        System.out.println("appendedLast=" + appended.get(appended.size() - 1));
        System.out.println("missingUrl=" + loader.getResource("no/such.txt"));
        System.out.println("stream=" + text(loader.getResourceAsStream("data/hello.txt")));
        System.out.println("classStream=" + text(Main.class.getResourceAsStream("/data/hello.txt")));
        System.out.println("empty=" + loader.getResourceAsStream("data/empty.txt").read());
        URL url = loader.getResource("data/hello.txt");
        System.out.println("contentType=" + url.openConnection().getContentType());
        System.out.println("twoReads=" + text(url.openStream()).equals(text(url.openStream())));
        List<String> all = new ArrayList<String>();
        for (Enumeration<URL> e = loader.getResources("data/shared.txt"); e.hasMoreElements();) {
            URL u = e.nextElement();
            all.add(u + "|" + text(u.openStream()));
        }
        System.out.println("shared=" + all);
        List<String> services = new ArrayList<String>();
        for (Iterator<Service> it = ServiceLoader.load(Service.class, loader).iterator(); it.hasNext();) {
            services.add(it.next().name());
        }
        System.out.println("services=" + services);
        try {
            new URL("zor:no/such.txt").openStream();
            System.out.println("missingStream=opened");
        } catch (FileNotFoundException e) {
            System.out.println("missingStream=FileNotFoundException " + e.getMessage());
        }
    }

    static String readUrl(String address) {
        try {
            return text(new URL(address).openStream());
        } catch (Exception e) {
            return e.getClass().getSimpleName();
        }
    }

    static String text(InputStream in) throws Exception {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        byte[] buffer = new byte[4096];
        for (int n; (n = in.read(buffer)) > 0;) out.write(buffer, 0, n);
        in.close();
        return new String(out.toByteArray(), "UTF-8").trim();
    }
}
