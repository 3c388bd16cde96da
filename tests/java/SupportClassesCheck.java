import com.tarnwick.zor.Handler;
import com.tarnwick.zor.SplashScreen;
import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.InputStream;
import java.lang.ref.SoftReference;
import java.lang.reflect.Constructor;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URL;
import java.net.URLConnection;
import java.net.URLStreamHandler;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Enumeration;
import java.util.HashMap;
import java.util.Hashtable;
import java.util.List;
import java.util.Map;
import java.util.TreeSet;

/**
 * Loads the support classes outside the launcher (no "zor.app.path", so no natives) and checks
 * their members, their behaviour without natives, and Handler's caching through a subclass that
 * serves resource bytes from a map. Run with the support archive first on the class path:
 * java -Xverify:all -cp zor-support.jar:<this folder> SupportClassesCheck zor-support.jar
 */
public class SupportClassesCheck {
    static final String PACKAGE = "com.tarnwick.zor.";
    static int failures = 0;

    static void check(boolean ok, String what) {
        if (!ok) {
            failures++;
            System.out.println("FAILED: " + what);
        }
    }

    interface Action {
        void run() throws Exception;
    }

    static void expectThrows(Class<? extends Throwable> expected, String what, Action action) {
        try {
            action.run();
            check(false, what + ": no " + expected.getSimpleName());
        } catch (Throwable t) {
            check(expected.isInstance(t), what + ": threw " + t + ", not " + expected.getName());
        }
    }

    public static void main(String[] args) throws Exception {
        check(System.getProperty("zor.app.path") == null, "zor.app.path is unset");
        String jar = new java.io.File(args[0]).getCanonicalPath();
        Map<String, Class<?>> classes = new HashMap<>();
        for (String name :
             new String[] {"LumbrixClassLoader", "Handler", "Handler$1", "SplashScreen"}) {
            // Initialises the class: its static initialiser must pass without the property.
            Class<?> c =
                Class.forName(PACKAGE + name, true, SupportClassesCheck.class.getClassLoader());
            String from =
                new java.io.File(c.getProtectionDomain().getCodeSource().getLocation().toURI())
                    .getCanonicalPath();
            check(from.equals(jar), name + " is loaded from " + jar + ", not " + from);
            classes.put(name, c);
        }
        checkClassLoader(classes.get("LumbrixClassLoader"));
        checkHandler(classes.get("Handler"));
        checkConnection(classes.get("Handler$1"));
        checkSplashScreen(classes.get("SplashScreen"));
        checkContentType();
        checkCaching();

        if (failures > 0) {
            System.out.println(failures + " check(s) failed");
            System.exit(1);
        }
        System.out.println("support classes ok on Java " + System.getProperty("java.version"));
    }

    // "protected native" and the like, for readable messages and exact comparisons.
    static String describe(Method m) {
        return Modifier.toString(m.getModifiers()) + " " + m.getReturnType().getName() + " " +
            m.getName() + Arrays.toString(m.getParameterTypes()) + " throws " +
            Arrays.toString(m.getExceptionTypes());
    }

    static void checkMethods(Class<?> c, String... expected) {
        TreeSet<String> found = new TreeSet<>();
        for (Method m : c.getDeclaredMethods()) {
            found.add(describe(m));
        }
        TreeSet<String> wanted = new TreeSet<>(Arrays.asList(expected));
        check(found.equals(wanted), c.getName() + " methods " + found + ", expected " + wanted);
    }

    static void checkOnlyConstructor(Class<?> c, int modifiers, Class<?>... parameters) {
        Constructor<?>[] all = c.getDeclaredConstructors();
        check(all.length == 1 && all[0].getModifiers() == modifiers &&
                  Arrays.equals(all[0].getParameterTypes(), parameters),
              c.getName() + " has one constructor, " + Modifier.toString(modifiers) +
                  Arrays.toString(parameters) + ": found " + Arrays.toString(all));
    }

    static void checkClassLoader(Class<?> c) throws Exception {
        check(c.getModifiers() == Modifier.PUBLIC, "LumbrixClassLoader is public, not final");
        check(c.getSuperclass() == ClassLoader.class, "LumbrixClassLoader extends ClassLoader");
        check(c.getDeclaredFields().length == 0, "LumbrixClassLoader has no fields");
        checkOnlyConstructor(c, Modifier.PUBLIC);
        checkMethods(c,
                     "protected native java.lang.Class findClass[class java.lang.String]"
                         + " throws [class java.lang.ClassNotFoundException]",
                     "protected native java.net.URL findResource[class java.lang.String] throws []",
                     "protected native java.util.Enumeration findResources[class java.lang.String]"
                         + " throws []");

        // The launcher creates it through newInstance; delegation goes to the system loader.
        @SuppressWarnings("deprecation") final ClassLoader loader = (ClassLoader)c.newInstance();
        check(loader.getParent() == ClassLoader.getSystemClassLoader(),
              "LumbrixClassLoader's parent is the system class loader");
        check(loader.loadClass("java.util.Vector") == java.util.Vector.class,
              "LumbrixClassLoader delegates to its parent first");
        check(loader.loadClass("SupportClassesCheck") == SupportClassesCheck.class,
              "LumbrixClassLoader finds class path classes through its parent");
        expectThrows(UnsatisfiedLinkError.class, "findClass without natives",
                     () -> loader.loadClass("no.such.Missing"));
        expectThrows(UnsatisfiedLinkError.class, "findResource without natives",
                     () -> loader.getResource("no/such/resource.txt"));
        expectThrows(UnsatisfiedLinkError.class, "findResources without natives",
                     () -> loader.getResources("no/such/resource.txt"));
    }

    static void checkHandler(Class<?> c) throws Exception {
        check(c.getModifiers() == Modifier.PUBLIC, "Handler is public, not final");
        check(c.getSuperclass() == URLStreamHandler.class, "Handler extends URLStreamHandler");
        Field[] fields = c.getDeclaredFields();
        check(fields.length == 1 && fields[0].getName().equals("loadedData") &&
                  fields[0].getType() == Hashtable.class &&
                  fields[0].getModifiers() == (Modifier.PROTECTED | Modifier.STATIC),
              "Handler's only field is protected static Hashtable loadedData: " +
                  Arrays.toString(fields));
        fields[0].setAccessible(true);
        Object table = fields[0].get(null);
        check(table instanceof Hashtable && ((Hashtable<?, ?>)table).isEmpty(),
              "loadedData starts as an empty Hashtable");
        checkOnlyConstructor(c, Modifier.PUBLIC);
        checkMethods(c,
                     "protected java.net.URLConnection openConnection[class java.net.URL]"
                         + " throws [class java.io.IOException]",
                     "protected native [B loadResourceData[class java.lang.String] throws []");

        URLConnection connection = new URL(null, "zor:x.txt", new Handler()).openConnection();
        expectThrows(UnsatisfiedLinkError.class, "loadResourceData without natives",
                     connection::getInputStream);
        check(((Hashtable<?, ?>)table).isEmpty(), "a failed read caches nothing");
    }

    static void checkConnection(Class<?> c) throws Exception {
        check(c.getSuperclass() == URLConnection.class, "Handler$1 extends URLConnection");
        check(!Modifier.isPublic(c.getModifiers()) && !Modifier.isInterface(c.getModifiers()),
              "Handler$1 is a package-access class");
        Map<String, String> fields = new HashMap<>();
        for (Field f : c.getDeclaredFields()) {
            fields.put(f.getName(),
                       Modifier.toString(f.getModifiers()) + " " + f.getType().getName());
        }
        Map<String, String> expected = new HashMap<>();
        expected.put("this$0", "final com.tarnwick.zor.Handler");
        expected.put("val$resource", "private final java.lang.String");
        check(fields.equals(expected), "Handler$1 fields " + fields + ", expected " + expected);
        checkOnlyConstructor(c, 0, Handler.class, URL.class, String.class);
        checkMethods(c, "public void connect[] throws []",
                     // Declared so that a missing resource can be reported as such.
                     "public java.io.InputStream getInputStream[]"
                         + " throws [class java.io.FileNotFoundException]",
                     "public java.lang.String getContentType[] throws []");

        URLConnection connection = new URL(null, "zor:a/b.txt", new Handler()).openConnection();
        check(connection.getClass() == c, "Handler.openConnection returns a Handler$1");
        check(connection.getURL().toString().equals("zor:a/b.txt"), "the connection keeps its URL");
        connection.connect();
        check(connection.getContentLengthLong() == -1 && connection.getHeaderField(0) == null,
              "Handler$1 has no header fields and content length -1");
    }

    static void checkSplashScreen(Class<?> c) throws Exception {
        check(c.getModifiers() == (Modifier.PUBLIC | Modifier.FINAL),
              "SplashScreen is public final");
        check(c.getSuperclass() == Object.class, "SplashScreen extends Object");
        check(c.getDeclaredFields().length == 0, "SplashScreen has no fields");
        checkOnlyConstructor(c, Modifier.PUBLIC);
        checkMethods(c, "public static com.tarnwick.zor.SplashScreen getSplashScreen[] throws []",
                     "public void autoClose[int] throws []", "public void close[] throws []",
                     "protected static native com.tarnwick.zor.SplashScreen nativeGetSplashScreen[]"
                         + " throws []",
                     "protected native void nativeAutoClose[int] throws []",
                     "protected native void nativeClose[] throws []");

        final SplashScreen splash = new SplashScreen();
        expectThrows(UnsatisfiedLinkError.class, "getSplashScreen without natives",
                     SplashScreen::getSplashScreen);
        expectThrows(UnsatisfiedLinkError.class, "autoClose without natives",
                     () -> splash.autoClose(100));
        expectThrows(UnsatisfiedLinkError.class, "close without natives", splash::close);
    }

    static void checkContentType() throws IOException {
        String known = new URL(null, "zor:x.txt", new Handler()).openConnection().getContentType();
        check("text/plain".equals(known), "content type of zor:x.txt is text/plain, not " + known);
        String image = new URL(null, "zor:lib\\a.jar!img\\logo.png", new Handler())
                           .openConnection()
                           .getContentType();
        check("image/png".equals(image),
              "content type of a nested .png is image/png, not " + image);
        String unknown =
            new URL(null, "zor:x.zzunknown", new Handler()).openConnection().getContentType();
        check(unknown == null, "content type of an unknown extension is null, not " + unknown);
    }

    /** Serves resource bytes from a map in place of the launcher's native and counts calls. */
    static class MapHandler extends Handler {
        final Map<String, byte[]> resources = new HashMap<>();
        final List<String> calls = new ArrayList<>();

        @Override
        protected byte[] loadResourceData(String url) {
            calls.add(url);
            return resources.get(url);
        }

        static Hashtable<?, ?> cache() { return loadedData; }
    }

    static byte[] readAll(InputStream in) throws IOException {
        java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        for (int b; (b = in.read()) >= 0;) {
            out.write(b);
        }
        return out.toByteArray();
    }

    static void checkCaching() throws IOException {
        MapHandler handler = new MapHandler();
        byte[] data = "resource data".getBytes("UTF-8");
        handler.resources.put("zor:dir\\data.bin", data);
        URL url = new URL(null, "zor:dir\\data.bin", handler);

        // Two reads: equal contents, one native call while the array stays reachable, and
        // each stream with its own position.
        InputStream first = url.openConnection().getInputStream();
        check(first.read() == 'r', "first stream starts at the first byte");
        InputStream second = url.openConnection().getInputStream();
        check(Arrays.equals(readAll(second), data), "second stream gives the whole resource");
        check(Arrays.equals(readAll(first), Arrays.copyOfRange(data, 1, data.length)),
              "first stream keeps its own position");
        check(handler.calls.size() == 1,
              "the native is called once for two reads: " + handler.calls);
        Object entry = MapHandler.cache().get("zor:dir\\data.bin");
        check(entry instanceof SoftReference && ((SoftReference<?>)entry).get() == data,
              "loadedData maps the URL text to a SoftReference of the bytes");

        // The cache is shared by every handler.
        MapHandler other = new MapHandler();
        InputStream third =
            new URL(null, "zor:dir\\data.bin", other).openConnection().getInputStream();
        check(Arrays.equals(readAll(third), data) && other.calls.isEmpty(),
              "another handler reads the cached bytes without calling its native");

        // Bytes dropped by the garbage collector are loaded again and cached anew.
        ((SoftReference<?>)entry).clear();
        byte[] fresh = "fresh data".getBytes("UTF-8");
        handler.resources.put("zor:dir\\data.bin", fresh);
        check(Arrays.equals(readAll(url.openConnection().getInputStream()), fresh),
              "a cleared reference is loaded again");
        check(handler.calls.size() == 2,
              "the native is called again after the reference was cleared");
        Object replaced = MapHandler.cache().get("zor:dir\\data.bin");
        check(replaced != entry && ((SoftReference<?>)replaced).get() == fresh,
              "the reloaded bytes replace the cleared entry");

        // A missing resource is reported as missing, and nothing is cached for it.
        final URL missing = new URL(null, "zor:no/such.txt", handler);
        for (int attempt = 1; attempt <= 2; attempt++) {
            try {
                missing.openConnection().getInputStream();
                check(false, "a missing resource throws FileNotFoundException");
            } catch (FileNotFoundException e) {
                check(String.valueOf(e.getMessage()).contains("zor:no/such.txt"),
                      "the FileNotFoundException names the URL: " + e.getMessage());
            }
            check(!MapHandler.cache().containsKey("zor:no/such.txt"),
                  "nothing is cached for a missing resource");
        }
        check(handler.calls.size() == 4,
              "each read of a missing resource asks the native: " + handler.calls);
        // Once it exists, it is found: no stale answer was kept.
        handler.resources.put("zor:no/such.txt", data);
        check(Arrays.equals(readAll(missing.openStream()), data),
              "a resource that appears later is read");
    }
}
