package bare;

// Nested in an archive without a manifest: its package has no attributes, whatever the
// manifest of the archive around it says.
public class Bare {
}
