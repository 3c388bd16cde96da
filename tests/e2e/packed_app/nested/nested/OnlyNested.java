package nested;

public class OnlyNested {
    public static String where() { return "nested-only"; }
}
