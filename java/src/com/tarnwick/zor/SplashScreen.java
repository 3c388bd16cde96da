package com.tarnwick.zor;

/**
 * Lets the application control the launcher's splash window. Instances carry no state: all act
 * on the one splash window of the process.
 */
public final class SplashScreen {
    static {
        String path = System.getProperty("zor.app.path");
        if (path != null) {
            System.load(path);
        }
    }

    public SplashScreen() { super(); }

    /** A new object while a splash window is shown, otherwise null. */
    public static SplashScreen getSplashScreen() { return nativeGetSplashScreen(); }

    /**
     * Closes the splash after the given milliseconds, or with a negative value cancels a pending
     * close; either way the launcher no longer closes it by itself.
     */
    public void autoClose(int milliseconds) { nativeAutoClose(milliseconds); }

    public void close() { nativeClose(); }

    protected static native SplashScreen nativeGetSplashScreen();

    protected native void nativeAutoClose(int milliseconds);

    protected native void nativeClose();
}
