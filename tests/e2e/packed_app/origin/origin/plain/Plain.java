package origin.plain;

// A package without a section of its own in the manifest: it gets the main section's values.
public class Plain {
}
