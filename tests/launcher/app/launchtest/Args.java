package launchtest;

/** Prints what the launcher handed to main: arguments as UTF-16 units, loader and properties. */
public class Args {
    public static void main(String[] args) {
        System.out.println("argc=" + args.length);
        for (int i = 0; i < args.length; i++) {
            StringBuilder units = new StringBuilder();
            for (char c : args[i].toCharArray()) {
                units.append(String.format(" %04x", (int) c));
            }
            System.out.println("arg[" + i + "]=" + units.toString().trim());
        }
        ClassLoader loader = Thread.currentThread().getContextClassLoader();
        System.out.println("loader=" + (loader == null ? "null" : loader.getClass().getName()));
        System.out.println("pkgs=" + System.getProperty("java.protocol.handler.pkgs"));
        System.out.println("app=" + System.getProperty("zor.app.path"));
        System.out.println("home=" + System.getProperty("application.home"));
        System.out.println("cwd=" + System.getProperty("user.dir"));
        System.out.println("custom=" + System.getProperty("launchtest.custom"));
    }
}
