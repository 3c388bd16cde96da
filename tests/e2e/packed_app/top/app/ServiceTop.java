package app;

public class ServiceTop implements Service {
    public String name() { return "top"; }
}
