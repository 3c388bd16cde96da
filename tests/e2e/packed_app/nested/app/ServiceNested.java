package app;

public class ServiceNested implements Service {
    public String name() { return "nested"; }
}
