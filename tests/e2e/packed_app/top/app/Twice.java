package app;

public class Twice {
    public static String where() { return "top"; }
}
