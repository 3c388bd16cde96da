package app;

// A main class whose static initializer throws before main can run.
public class MainInitFails {
    static {
        if (Boolean.TRUE)
            throw new IllegalStateException("the initializer fails here");
    }

    public static void main(String[] args) {}
}
