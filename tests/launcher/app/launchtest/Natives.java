package launchtest;

/**
 * Calls natives that live in the launcher: a test probe that reports the launcher's own
 * configuration, and the splash natives of the support classes.
 */
public class Natives {
    static {
        System.load(System.getProperty("zor.app.path"));
    }

    static native String probe();

    public static void main(String[] args) throws Exception {
        System.out.println("probe=" + probe());
        Object splash = Class.forName("com.tarnwick.zor.SplashScreen")
                            .getMethod("getSplashScreen")
                            .invoke(null);
        System.out.println("splash=" + splash);
    }
}
