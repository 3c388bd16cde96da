package app;

// The same class name as in the top archive: the top archive's copy must win.
public class Twice {
    public static String where() { return "nested"; }
}
