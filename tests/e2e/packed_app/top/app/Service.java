package app;

public interface Service {
    String name();
}
